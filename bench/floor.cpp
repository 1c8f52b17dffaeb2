// varnel-floor: the least a run of a record can cost. Reads a data file of three values per
// line (or VALUES per line, X and Y the last two) once, parses every value, and writes five
// numbers per sample with 15 significant digits (about what the point, cross-check and curve
// files of a run hold together).
//
//   varnel-floor DATA_FILE OUTPUT_FILE [VALUES]
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <system_error>
#include <vector>

namespace {

bool isSeparator(char c)
{
    return c == ' ' || c == '\t' || c == ',' || c == ';' || c == '\r' || c == '\n';
}

char* put(char* p, double value)
{
    *p++ = ' ';
    p = std::to_chars(p, p + 32, value, std::chars_format::general, 15).ptr;
    return p;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::size_t width = argc == 4 ? std::strtoul(argv[3], nullptr, 10) : 3;
    if ((argc != 3 && argc != 4) || width < 2) {
        std::fputs("usage: varnel-floor DATA_FILE OUTPUT_FILE [VALUES]\n", stderr);
        return 2;
    }
    std::FILE* in = std::fopen(argv[1], "rb");
    if (in == nullptr) {
        std::perror(argv[1]);
        return 1;
    }
    std::string text;
    std::vector<char> chunk(1 << 20);
    std::size_t n = 0;
    while ((n = std::fread(chunk.data(), 1, chunk.size(), in)) > 0)
        text.append(chunk.data(), n);
    std::fclose(in);

    std::vector<double> values;
    values.reserve(text.size() / 8);
    const char* p = text.data();
    const char* const end = p + text.size();
    while (p < end) {
        while (p < end && isSeparator(*p))
            ++p;
        if (p == end)
            break;
        double v = 0.0;
        const auto r = std::from_chars(p, end, v);
        if (r.ec != std::errc()) {
            std::fprintf(stderr, "%s: not a number at byte %td\n", argv[1], p - text.data());
            return 1;
        }
        values.push_back(v);
        p = r.ptr;
    }

    std::FILE* out = std::fopen(argv[2], "wb");
    if (out == nullptr) {
        std::perror(argv[2]);
        return 1;
    }
    std::vector<char> buffer(1 << 20);
    std::size_t used = 0;
    bool ok = true;
    for (std::size_t i = 0; i + width - 1 < values.size(); i += width) {
        if (buffer.size() - used < 5 * 34 + 2) {
            ok = ok && std::fwrite(buffer.data(), 1, used, out) == used;
            used = 0;
        }
        char* q = buffer.data() + used;
        const double x = values[i + width - 2];
        const double y = values[i + width - 1];
        q = put(q, x);
        q = put(q, y);
        q = put(q, x);
        q = put(q, y);
        q = put(q, static_cast<double>(i / width + 1));
        *q++ = '\r';
        *q++ = '\n';
        used = static_cast<std::size_t>(q - buffer.data());
    }
    ok = ok && std::fwrite(buffer.data(), 1, used, out) == used;
    ok = std::fclose(out) == 0 && ok;
    if (!ok) {
        std::perror(argv[2]);
        return 1;
    }
    return 0;
}
