#pragma once

// The run's text files worked out the plain way, straight from the documented rules: values
// read by the standard library's conversion from the text the previous phase wrote, numbers
// written with printf. The
// real run (which hands values on in memory) must write exactly the same bytes.

#include "tests/support/decimal_text.h"

#include <cmath>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

namespace model {

inline std::string number(double v, int digits)
{
    if (v == 0)
        v = 0;
    char text[64];
    std::snprintf(text, sizeof text, "%.*G", digits, std::fabs(v));
    return std::string(std::signbit(v) ? "-" : " ") + text + " ";
}

inline std::string zoneLine(const std::vector<std::string>& values)
{
    std::string line;
    for (const std::string& v : values) {
        if (!line.empty())
            line.append((14 - line.size() % 14) % 14, ' ');
        line += v;
    }
    return line + "\r\n";
}

inline std::vector<std::vector<double>> readRows(const std::string& text)
{
    std::vector<std::vector<double>> rows;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream values(line);
        std::vector<double> row;
        std::string value;
        while (values >> value)
            row.push_back(decimalValue(value));
        rows.push_back(row);
    }
    return rows;
}

// Point file from scaled data lines.
inline std::string pointFile(const std::vector<double>& X, const std::vector<double>& Y)
{
    std::string out;
    for (std::size_t a = 0; a < X.size(); ++a) {
        if (a == 0) {
            out += zoneLine({ number(X[0], 15), number(Y[0], 15) });
            continue;
        }
        if (Y[a] * Y[a - 1] < 0 && X[a] != X[a - 1]) {
            const double x0 = X[a] - (X[a] - X[a - 1]) * Y[a] / (Y[a] - Y[a - 1]);
            out += zoneLine({ number(x0, 15), " 0 " });
        }
        if (X[a] != X[a - 1])
            out += zoneLine({ number(X[a], 15), number(Y[a], 15) });
    }
    return out;
}

// One side file from the cross-check file's text.
inline std::string sideFile(const std::string& crossCheckText, bool positive, double reachStart)
{
    std::string out = " X-axis        Y-axis\r\n";
    double L = reachStart;
    double F = 0;
    bool following = false;
    int counter = 0;
    for (const auto& r : readRows(crossCheckText)) {
        const double x = r[0], y = r[1], g = r[2];
        ++counter;
        if (positive ? y < 0 : y > 0)
            continue;
        const std::string line = zoneLine({ number(x, 15), number(y, 15) });
        if (positive && counter == 1)
            out += line;
        if (following && g == F) {
            out += line;
            L = x;
        } else if (g > F) {
            if (positive ? x > L : x < L) {
                following = true;
                out += line;
                F = g;
            } else {
                following = false;
            }
        }
    }
    return out;
}

inline std::string combinedFile(const std::string& positive, const std::string& negative)
{
    const auto body = [](const std::string& side) { return side.substr(side.find("\r\n") + 2); };
    return " X-axis        Y-axis\r\n" + body(positive) + " =             =\r\n" + body(negative);
}

}  // namespace model
