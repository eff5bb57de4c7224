// Names as the file system holds them (bytes, whatever their encoding):
// the order a drop takes them in, and the names a taken one is renamed to.
#pragma once

#include <QByteArray>

namespace zektwin {

// Natural order: runs of digits compare by their value, so "f2" comes
// before "f10"; otherwise byte by byte.
bool naturalLess(const QByteArray& a, const QByteArray& b);

// "memo.txt" as the n-th of its name: "memo (n).txt"; the number goes
// before the last extension, or at the end of a name without one.
QByteArray numberedName(const QByteArray& name, int n);

}  // namespace zektwin
