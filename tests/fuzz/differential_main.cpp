// The fuzz target's checks as a deterministic test: every file of the given
// folders and a fixed-seed stream of generated text, each under a fixed set
// of settings headers, shifted and repeated, so that the 16-byte loops of
// the block path meet mixed content at every alignment.
// A failed check aborts with the input that failed on the standard error.
#include <algorithm>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

using Bytes = std::vector<std::uint8_t>;

// The input being checked, for the abort handler alone.
const Bytes* checking = nullptr;

extern "C" void reportInput(int) {
    if (checking == nullptr) return;
    std::fputs("differential_check: failing input (settings header first):\n", stderr);
    for (const std::uint8_t b : *checking) std::fprintf(stderr, "%02X ", b);
    std::fputc('\n', stderr);
}

std::vector<Bytes> readCorpus(int argc, char** argv) {
    std::vector<Bytes> texts;
    for (int i = 1; i < argc; ++i)
        for (const auto& entry : std::filesystem::directory_iterator(argv[i])) {
            if (!entry.is_regular_file()) continue;
            std::ifstream in(entry.path(), std::ios::binary);
            Bytes text{std::istreambuf_iterator<char>(in), {}};
            if (text.size() > 512) text.resize(512);
            texts.push_back(std::move(text));
        }
    return texts;
}

// Bytes a decoder may stop at: ASCII, the controls, ESC and the shifts, and
// leads and trails of every multi-byte code.
Bytes generatedText(std::mt19937& random) {
    static constexpr std::uint8_t alphabet[] = {
        'a',  ' ',  '$',  '(',  '@',  'B',  'I',  'J',  'K',  'H',  '0',  '!',  0x7E, 0x7F, 0x00,
        0x09, 0x0A, 0x0D, 0x0E, 0x0F, 0x19, 0x1A, 0x1B, 0x80, 0x81, 0x84, 0x85, 0x87, 0x88, 0x8E,
        0x8F, 0x9E, 0x9F, 0xA0, 0xA1, 0xB1, 0xBF, 0xC1, 0xC2, 0xDF, 0xE0, 0xE3, 0xEA, 0xEB, 0xED,
        0xEF, 0xF0, 0xF4, 0xF5, 0xFA, 0xFC, 0xFD, 0xFE, 0xFF, 0x40, 0x30, 0x21};
    std::uniform_int_distribution<std::size_t> length(1, 160), pick(0, std::size(alphabet) - 1), run(0, 20);
    Bytes text;
    const std::size_t n = length(random);
    while (text.size() < n) {
        text.push_back(alphabet[pick(random)]);
        if (pick(random) < 4) text.insert(text.end(), run(random), 'a');  // long ASCII between
    }
    return text;
}

// The seed headers of the fuzz runs and some drawn ones; see zekt_fuzz.cpp
// for what each byte sets. The last byte is a small block size or 0.
std::vector<Bytes> settingsHeaders(std::mt19937& random) {
    std::vector<Bytes> headers = {{0x02, 0x00, 0x0C, 0x00},
                                  {0x01, 0x00, 0x0C, 0x00},
                                  {0x1B, 0x00, 0x04, 0x01},
                                  {0x09, 0x15, 0x03, 0x05},
                                  {0x34, 0x6A, 0x3C, 0x00},
                                  {0x00, 0x00, 0x00, 0x00},
                                  {0x42, 0x00, 0x00, 0x00},
                                  {0x8F, 0x00, 0x05, 0x03},
                                  {0x24, 0x00, 0x2C, 0x00},
                                  {0x23, 0x00, 0x20, 0x02},
                                  {0x44, 0x00, 0x00, 0x00},
                                  {0x2F, 0x09, 0x15, 0x03},
                                  {0x00, 0x80, 0x07, 0x05},
                                  // The JIS X 0213 forms: Shift_JIS-2004 to UTF-8, UTF-8 to EUC-JIS-2004
                                  // and to ISO-2022-JP-2004, EUC-JIS-2004 to it in blocks of three.
                                  {0x14, 0x00, 0x80, 0x00},
                                  {0x23, 0x00, 0x80, 0x00},
                                  {0x21, 0x00, 0x84, 0x00},
                                  {0x19, 0x00, 0x80, 0x03}};
    std::uniform_int_distribution<int> byte(0, 255), blockSize(0, 40);
    for (int i = 0; i < 40; ++i)
        headers.push_back({static_cast<std::uint8_t>(byte(random)), static_cast<std::uint8_t>(byte(random)),
                           static_cast<std::uint8_t>(byte(random)),
                           static_cast<std::uint8_t>(blockSize(random))});
    return headers;
}

void check(const Bytes& header, const Bytes& text, std::size_t shift, std::size_t minimum) {
    Bytes input(header);
    input.insert(input.end(), shift, 'a');
    do input.insert(input.end(), text.begin(), text.end());
    while (input.size() < minimum + header.size() + shift);
    checking = &input;
    LLVMFuzzerTestOneInput(input.data(), input.size());
}

}  // namespace

int main(int argc, char** argv) {
    std::signal(SIGABRT, reportInput);
    std::mt19937 random(19);
    std::vector<Bytes> texts = readCorpus(argc, argv);
    for (int i = 0; i < 300; ++i) texts.push_back(generatedText(random));
    const std::vector<Bytes> headers = settingsHeaders(random);

    std::size_t inputs = 0;
    for (std::size_t t = 0; t < texts.size(); ++t)
        for (std::size_t h = 0; h < headers.size(); ++h)
            // Two alignments per setting, so that across the settings each
            // text meets all sixteen many times over.
            for (const std::size_t shift : {(t * 7 + h) % 16, (t * 7 + h + 8) % 16}) {
                check(headers[h], texts[t], shift, 48);
                ++inputs;
            }
    std::printf("differential_check: %zu texts, %zu settings, %zu inputs: all checks hold\n", texts.size(),
                headers.size(), inputs);
    return 0;
}
