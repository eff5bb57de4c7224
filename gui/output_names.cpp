#include "output_names.h"

#include <string_view>

namespace zektwin {
namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

qsizetype digitsFrom(const QByteArray& text, qsizetype at) {
    qsizetype end = at;
    while (end < text.size() && isDigit(text[end])) ++end;
    return end;
}

// Compares two runs of digits by value: leading zeros do not count, and a
// longer run of significant digits is the greater. Equal values: 0.
int compareNumbers(std::string_view a, std::string_view b) {
    while (a.size() > 1 && a.front() == '0') a.remove_prefix(1);
    while (b.size() > 1 && b.front() == '0') b.remove_prefix(1);
    if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
    return a.compare(b);
}

std::string_view run(const QByteArray& text, qsizetype from, qsizetype to) {
    return {text.constData() + from, static_cast<std::size_t>(to - from)};
}

}  // namespace

bool naturalLess(const QByteArray& a, const QByteArray& b) {
    qsizetype i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (isDigit(a[i]) && isDigit(b[j])) {
            const qsizetype endA = digitsFrom(a, i), endB = digitsFrom(b, j);
            if (const int order = compareNumbers(run(a, i, endA), run(b, j, endB)); order != 0)
                return order < 0;
            i = endA;
            j = endB;
            continue;
        }
        if (a[i] != b[j]) return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]);
        ++i;
        ++j;
    }
    if (a.size() - i != b.size() - j) return a.size() - i < b.size() - j;
    return a < b;  // "f01" and "f1" still have one order
}

QByteArray numberedName(const QByteArray& name, int n) {
    const qsizetype dot = name.lastIndexOf('.');
    const qsizetype at = dot > 0 ? dot : name.size();
    return name.left(at) + " (" + QByteArray::number(n) + ')' + name.mid(at);
}

}  // namespace zektwin
