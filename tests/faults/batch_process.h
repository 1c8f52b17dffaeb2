#pragma once

// Runs the built varnel-batch as a child process, optionally as the unprivileged user
// "nobody", and collects its exit status and what it printed.

#include <chrono>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

struct BatchResult
{
    int status = -1;  // exit status; -1 when the process did not end by itself in time
    std::string out;
    std::string err;

    // The lines the tool printed on stderr.
    std::vector<std::string> errorLines() const
    {
        std::vector<std::string> lines;
        std::size_t start = 0;
        while (start < err.size()) {
            const std::size_t end = err.find('\n', start);
            lines.push_back(err.substr(start, end - start));
            if (end == std::string::npos)
                break;
            start = end + 1;
        }
        return lines;
    }
};

inline std::string setprivPath()
{
    for (const char* p : { "/usr/bin/setpriv", "/bin/setpriv" })
        if (::access(p, X_OK) == 0)
            return p;
    return {};
}

// `args` follow the program name. As "nobody", the child drops every privilege first.
// `onErrorLine` sees each whole line of stderr as it comes, with the child's process id (to
// send it a signal).
inline BatchResult runProgram(const std::string& program, const std::vector<std::string>& args,
    bool asNobody = false, std::chrono::seconds limit = std::chrono::seconds(60),
    const std::function<void(const std::string&, pid_t)>& onErrorLine = {})
{
    std::vector<std::string> argv;
    if (asNobody)
        argv = { setprivPath(), "--reuid=nobody", "--regid=nogroup", "--clear-groups", "--" };
    argv.push_back(program);
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> cargv;
    for (std::string& a : argv)
        cargv.push_back(a.data());
    cargv.push_back(nullptr);

    int outPipe[2];
    int errPipe[2];
    if (::pipe2(outPipe, O_CLOEXEC) != 0 || ::pipe2(errPipe, O_CLOEXEC) != 0)
        return {};
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(outPipe[1], 1);
        ::dup2(errPipe[1], 2);
        ::execv(cargv[0], cargv.data());
        ::_exit(127);
    }
    ::close(outPipe[1]);
    ::close(errPipe[1]);
    BatchResult result;
    std::string pending;  // stderr after its last whole line
    pollfd fds[2] = { { outPipe[0], POLLIN, 0 }, { errPipe[0], POLLIN, 0 } };
    std::string* sinks[2] = { &result.out, &result.err };
    const auto deadline = std::chrono::steady_clock::now() + limit;
    int open = 2;
    bool killed = false;
    while (open > 0) {
        if (std::chrono::steady_clock::now() > deadline && !killed) {
            ::kill(pid, SIGKILL);
            killed = true;
        }
        if (::poll(fds, 2, 200) < 0)
            break;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP)))
                continue;
            char buffer[4096];
            const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                sinks[i]->append(buffer, static_cast<std::size_t>(n));
                if (i == 1 && onErrorLine) {
                    pending.append(buffer, static_cast<std::size_t>(n));
                    for (std::size_t end; (end = pending.find('\n')) != std::string::npos;) {
                        onErrorLine(pending.substr(0, end), pid);
                        pending.erase(0, end + 1);
                    }
                }
            } else {
                ::close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
    }
    int wstatus = 0;
    ::waitpid(pid, &wstatus, 0);
    if (!killed && WIFEXITED(wstatus))
        result.status = WEXITSTATUS(wstatus);
    return result;
}
