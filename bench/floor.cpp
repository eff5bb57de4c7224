// The floor of the benchmark: EUC to Shift-JIS with nothing but the code
// arithmetic, over large fread/fwrite buffers. No detection, no settings,
// no per-byte calls: what any converter of this kind costs at the least.
#include <array>
#include <cstdint>
#include <cstdio>

namespace {

constexpr std::size_t kBufferSize = 1 << 16;

// The same rule as the engine's eucToSjis.
constexpr unsigned eucToSjis(unsigned e1, unsigned e2) {
    const unsigned s1 = ((e1 - 1) >> 1) + (e1 <= 0xDE ? 0x31 : 0x71);
    unsigned s2;
    if (e1 & 1)
        s2 = e2 <= 0xDF ? e2 - 0x61 : e2 - 0x60;
    else
        s2 = e2 - 2;
    return (s1 << 8) | (s2 & 0xFF);
}

class Floor {
public:
    // Converts one buffer; a lead byte or an SS3 sequence may run into the next.
    std::size_t convert(const std::uint8_t* in, std::size_t n, std::uint8_t* out) {
        std::uint8_t* o = out;
        for (std::size_t i = 0; i < n; ++i) {
            const unsigned c = in[i];
            if (skip_ > 0) {  // the bytes after SS3: JIS X 0212 has no Shift-JIS form
                if (--skip_ == 0) {
                    *o++ = 0x81;  // the geta mark, as zekt writes it
                    *o++ = 0xAC;
                }
            } else if (lead_ != 0) {
                if (lead_ == 0x8E) {
                    *o++ = static_cast<std::uint8_t>(c);
                } else {
                    const unsigned s = eucToSjis(lead_, c);
                    *o++ = static_cast<std::uint8_t>(s >> 8);
                    *o++ = static_cast<std::uint8_t>(s);
                }
                lead_ = 0;
            } else if (c < 0x80) {
                *o++ = static_cast<std::uint8_t>(c);
            } else if (c == 0x8F) {
                skip_ = 2;
            } else {
                lead_ = c;
            }
        }
        return static_cast<std::size_t>(o - out);
    }

private:
    unsigned lead_ = 0;
    int skip_ = 0;
};

}  // namespace

int main() {
    static std::array<std::uint8_t, kBufferSize> in;
    static std::array<std::uint8_t, 2 * kBufferSize> out;
    Floor floor;
    std::size_t n;
    while ((n = std::fread(in.data(), 1, in.size(), stdin)) > 0) {
        const std::size_t m = floor.convert(in.data(), n, out.data());
        if (std::fwrite(out.data(), 1, m, stdout) != m) return 1;
    }
    return std::ferror(stdin) ? 1 : 0;
}
