// Detection: the quiet scan of each block, the check of the raw bytes
// against UTF-8 while the input code is open, and the verdict.
#include <array>

#include "byte_classes.h"
#include "codec.h"
#include "fast/block_shortcuts.h"
#include "input_decoder.h"

namespace zekt {
namespace {

// The UTF-8 encoding form as a table. A state says what the next byte must
// be; each byte gives the next state, with WIDE when it is the second byte
// of a 3- or 4-byte sequence, in its range, and BROKEN when the bytes stop
// being well-formed (a sequence cut short, a byte that starts none); a byte
// that cuts a sequence short is then read afresh.
enum Utf8State : std::uint8_t {
    IDLE,
    CONT1,      // one more 80-BF
    CONT2,      // two more 80-BF
    SECOND_E0,  // A0-BF, then one more
    SECOND_ED,  // 80-9F, then one more
    SECOND_E,   // 80-BF, then one more
    SECOND_F0,  // 90-BF, then two more
    SECOND_F4,  // 80-8F, then two more
    SECOND_F,   // 80-BF, then two more
    utf8States
};
constexpr std::uint8_t WIDE = 0x10, BROKEN = 0x20, STATE_MASK = 0x0F;

// The states after a lead, each named by a lead that opens it; its range
// and what follows are that lead's, as utf8Lead gives them.
constexpr std::array<int, utf8States> openedBy{0, 0xC2, 0, 0xE0, 0xED, 0xE1, 0xF0, 0xF4, 0xF1};

constexpr std::uint8_t startUtf8(int b) {
    if (b < 0x80) return IDLE;
    const Utf8Lead lead = utf8Lead(b);
    for (int state = CONT1; lead.needed != 0 && state < utf8States; ++state)
        if (openedBy[static_cast<std::size_t>(state)] != 0 &&
            utf8Lead(openedBy[static_cast<std::size_t>(state)]) == lead)
            return static_cast<std::uint8_t>(state);
    return IDLE | BROKEN;
}

static_assert([] {
    for (int b = 0x80; b < 0x100; ++b)
        if ((utf8Lead(b).needed != 0) != (startUtf8(b) != (IDLE | BROKEN)))
            return false;  // a lead no state opens
    return true;
}());

constexpr std::uint8_t stepUtf8(int state, int b) {
    if (state == IDLE) return startUtf8(b);
    int low = 0x80, high = 0xBF, next = state == CONT2 ? CONT1 : IDLE;
    if (const int opener = openedBy[static_cast<std::size_t>(state)]; opener != 0) {
        const Utf8Lead lead = utf8Lead(opener);
        low = lead.low;
        high = lead.high;
        next = lead.needed == 1 ? IDLE : (lead.needed == 2 ? CONT1 : CONT2) | WIDE;
    }
    return in(b, low, high) ? static_cast<std::uint8_t>(next) : startUtf8(b) | BROKEN;
}

constexpr std::array<std::array<std::uint8_t, 256>, utf8States> utf8Steps = [] {
    std::array<std::array<std::uint8_t, 256>, utf8States> t{};
    for (int state = 0; state < utf8States; ++state)
        for (int b = 0; b < 256; ++b)
            t[static_cast<std::size_t>(state)][static_cast<std::size_t>(b)] = stepUtf8(state, b);
    return t;
}();

// Passes over ASCII and the common well-formed sequences (two bytes, or
// three after E1-EC or EE-EF, where the continuations need only be 80-BF):
// the bulk of Japanese in UTF-8. Sets WIDE in seen for a three-byte one.
const std::uint8_t* skipCommonUtf8(const std::uint8_t* p, const std::uint8_t* end, std::uint8_t& seen) {
    const auto continues = [](int c) { return (c ^ 0x80) < 0x40; };
    bool wide = false;
    while (end - p >= 3) {
        const int b = p[0];
        if (b < 0x80) {
            p = p[1] < 0x80 ? skipAscii(p + 2, end) : p + 1;  // two in a row: likely a longer run
        } else if (isPlainLead3(b) && continues(p[1]) && continues(p[2])) {
            wide = true;
            p += 3;
        } else if (isPlainLead2(b) && continues(p[1])) {
            p += 2;
        } else {
            break;
        }
    }
    if (wide) seen |= WIDE;
    return p;
}

// Latin text in UTF-8 (German, French, a table's no-break spaces, ×): a
// two-byte sequence of the Latin-1 supplement's text (C2 A0 to C3 BF).
// From C2 A1 and C3 A1 up it could also be an EUC kanji (and C3 a
// half-width kana of Shift-JIS): then it counts only beside an ASCII
// letter, as an accented letter stands in a word, or before a space, as a
// sign does (© 2026).
constexpr bool isAsciiLetter(int b) { return in(b | 0x20, 'a', 'z'); }

constexpr LatinPair stepLatin(LatinPair s, int b) {
    if (s == LATIN_FOUND) return LATIN_FOUND;
    if (b < 0x80) {
        if (s == LATIN_PAIR_READ && (isAsciiLetter(b) || b == ' ')) return LATIN_FOUND;
        return isAsciiLetter(b) ? LATIN_AFTER_LETTER : LATIN_AFTER_OTHER;
    }
    const bool afterLetter = s == LATIN_AFTER_LETTER;
    if (b == 0xC2) return afterLetter ? LATIN_C2_AFTER_LETTER : LATIN_C2;
    if (b == 0xC3) return afterLetter ? LATIN_C3_AFTER_LETTER : LATIN_C3;
    const bool c2 = s == LATIN_C2 || s == LATIN_C2_AFTER_LETTER,
               c3 = s == LATIN_C3 || s == LATIN_C3_AFTER_LETTER;
    if ((c2 && !in(b, 0xA0, 0xBF)) || (c3 && !isUtf8Continuation(b)) || (!c2 && !c3))
        return LATIN_AFTER_OTHER;
    if (b <= 0xA0) return LATIN_FOUND;  // no EUC byte
    return s == LATIN_C2_AFTER_LETTER || s == LATIN_C3_AFTER_LETTER ? LATIN_FOUND : LATIN_PAIR_READ;
}

// Up to three continuation bytes at the start of the input are the end of
// a character cut off before it: they break nothing, but such a start needs
// three wide sequences, not one, for the verdict.
const std::uint8_t* passCutStart(const std::uint8_t* p, const std::uint8_t* end, FormCheck& check) {
    while (p < end && check.startTrails < 3 && isUtf8Continuation(*p)) {
        ++p;
        ++check.startTrails;
    }
    if (p < end) check.startRead = true;
    return p;
}

// Once the bytes are both broken and wide nothing more can change, and
// ASCII between sequences is passed over; the plain path reads every byte,
// and so does the block path while wide sequences are still counted. A
// sequence left open by the end of the input breaks nothing.
void checkUtf8(const InputBuffer& buffer, FormCheck& check, DetectReport& report, bool shortcuts,
               const Kernels& kernels) {
    const std::uint8_t* p = buffer.data;
    const std::uint8_t* const end = p + buffer.count;
    if (!check.startRead) p = passCutStart(p, end, check);
    const int needed = check.startTrails > 0 ? 3 : 1;
    const auto counted = [&] { return needed == 1 || check.wideSequences >= needed; };
    int state = check.utf8;
    std::uint8_t seen = 0;
    if (shortcuts && report.has(detect::BROKEN) && report.has(detect::WIDE)) p = end;
    // The shortcuts pass over two-byte sequences unseen: until a Latin one
    // has been found (or a wide sequence or a broken form makes it moot),
    // they pass over ASCII alone.
    LatinPair latin = check.latin;
    const auto latinMoot = [&] {
        return latin == LATIN_FOUND || report.has(detect::WIDE) || report.has(detect::BROKEN) ||
               ((seen & WIDE) && counted());
    };
    while (p < end) {
        if (shortcuts && state == IDLE && counted() && !latinMoot()) {
            const std::uint8_t* const next = skipAscii(p, end);
            if (next != p) latin = stepLatin(stepLatin(latin, *p), next[-1]);
            if ((p = next) == end) break;
        } else if (shortcuts && state == IDLE && counted()) {
            bool wide = false;
            int open = 0;
            p = kernels.skipUtf8(p, end, open, wide);
            if (wide) seen |= WIDE;
            if (open != 0) {
                state = open == 1 ? CONT1 : SECOND_E;
                if (p == end) break;
                continue;
            }
            p = skipCommonUtf8(p, end, seen);
            if (p == end) break;
        }
        latin = stepLatin(latin, *p);
        const std::uint8_t step = utf8Steps[static_cast<std::size_t>(state)][*p++];
        check.wideSequences += (step & WIDE) != 0;
        seen |= step;
        state = step & STATE_MASK;
    }
    if ((seen & WIDE) && counted()) report.set(detect::WIDE);
    if (seen & BROKEN) report.set(detect::BROKEN);
    check.latin = latin;
    check.utf8 = state;
}

// EUC's form and Shift-JIS's, as one state: EUC's in the low three bits,
// Shift-JIS's above them.
enum EucForm : std::uint8_t { EUC_IDLE, EUC_PAIR, EUC_KANA, EUC_TRIPLE, EUC_BROKEN };
enum SjisForm : std::uint8_t { SJIS_IDLE, SJIS_TRAIL, SJIS_BROKEN };
constexpr int legacyStates = (EUC_BROKEN | SJIS_BROKEN << 3) + 1;

constexpr std::uint8_t legacy(int euc, int sjis) { return static_cast<std::uint8_t>(euc | sjis << 3); }
constexpr int eucOf(int state) { return state & 7; }
constexpr int sjisOf(int state) { return state >> 3; }

constexpr int stepEuc(int state, int b) {
    switch (state) {
        case EUC_IDLE:
            if (b < 0x80) return EUC_IDLE;
            return isEucByte(b) ? EUC_PAIR : b == SS2 ? EUC_KANA : b == SS3 ? EUC_TRIPLE : EUC_BROKEN;
        case EUC_PAIR: return isEucByte(b) ? EUC_IDLE : EUC_BROKEN;
        case EUC_KANA: return isHalfWidthKanaByte(b) ? EUC_IDLE : EUC_BROKEN;
        case EUC_TRIPLE: return isEucByte(b) ? EUC_PAIR : EUC_BROKEN;
        default: return EUC_BROKEN;
    }
}

// A lead 0x81-0x9F or 0xE0-0xFC, then 0x40-0x7E or 0x80-0xFC; 0xA1-0xDF alone.
constexpr int stepSjis(int state, int b) {
    if (state == SJIS_TRAIL) return isSjisTrail(b) ? SJIS_IDLE : SJIS_BROKEN;
    if (state == SJIS_BROKEN || b == 0x80 || b == 0xA0 || b > 0xFC) return SJIS_BROKEN;
    return b < 0x80 || isHalfWidthKanaByte(b) ? SJIS_IDLE : SJIS_TRAIL;
}

constexpr std::array<std::array<std::uint8_t, 256>, legacyStates> legacySteps = [] {
    std::array<std::array<std::uint8_t, 256>, legacyStates> t{};
    for (int state = 0; state < legacyStates; ++state)
        for (int b = 0; b < 256; ++b)
            t[static_cast<std::size_t>(state)][static_cast<std::size_t>(b)] =
                legacy(stepEuc(eucOf(state), b), stepSjis(sjisOf(state), b));
    return t;
}();

// Where the input may begin inside a character, each form is also read from
// its second byte.
constexpr std::uint8_t secondReading(int first) {
    return legacy(isEucByte(first) ? EUC_IDLE : EUC_BROKEN, in(first, 0x80, 0xFC) ? SJIS_IDLE : SJIS_BROKEN);
}

// A form is broken when every reading of it is.
constexpr bool eucBroken(const std::array<std::uint8_t, 2>& r) {
    return eucOf(r[0]) == EUC_BROKEN && eucOf(r[1]) == EUC_BROKEN;
}
constexpr bool sjisBroken(const std::array<std::uint8_t, 2>& r) {
    return sjisOf(r[0]) == SJIS_BROKEN && sjisOf(r[1]) == SJIS_BROKEN;
}
constexpr bool eucOpen(int state) { return eucOf(state) != EUC_IDLE && eucOf(state) != EUC_BROKEN; }
constexpr bool betweenCharacters(int state) { return !eucOpen(state) && sjisOf(state) != SJIS_TRAIL; }

// Bytes from 0x80 up that all end the input so far: how many, up to three.
void noteEightBit(FormCheck& check, std::int64_t offset) {
    if (check.firstEightBit < 0) check.firstEightBit = offset;
    if (check.eightBitTail >= 0) check.eightBitTail = check.eightBitTail < 3 ? check.eightBitTail + 1 : -1;
}

bool legacyFinished(const FormCheck& check) { return check.legacyDone && check.eightBitTail < 0; }

// The raw bytes against EUC's form and Shift-JIS's. EUC broken while
// Shift-JIS holds is Shift-JIS evidence; once either is broken nothing more
// can come of them.
void checkLegacyForms(const InputBuffer& buffer, FormCheck& check, DetectReport& report) {
    const std::uint8_t* const begin = buffer.data;
    const std::uint8_t* p = begin;
    const std::uint8_t* const end = p + buffer.count;
    auto r = check.legacy;
    if (buffer.start == 0 && p < end) {
        r = {legacySteps[0][*p], secondReading(*p)};
        if (*p++ >= 0x80) noteEightBit(check, 0);
    }
    while (p < end && !legacyFinished(check)) {
        if (betweenCharacters(r[0]) && betweenCharacters(r[1])) {
            const std::uint8_t* const next = skipAscii(p, end);
            if (next != p && check.eightBitTail > 0) check.eightBitTail = -1;
            if ((p = next) == end) break;
        }
        const int b = *p++;
        if (b >= 0x80)
            noteEightBit(check, buffer.start + (p - 1 - begin));
        else if (check.eightBitTail > 0)
            check.eightBitTail = -1;
        if (check.legacyDone) continue;
        r = {legacySteps[r[0]][static_cast<std::size_t>(b)], legacySteps[r[1]][static_cast<std::size_t>(b)]};
        if (eucBroken(r) && !sjisBroken(r)) report.set(detect::SJIS_ONLY);
        check.legacyDone = eucBroken(r) || sjisBroken(r);
    }
    check.legacy = r;
}

void scanPlain(const InputBuffer& buffer, CodeKind kind, DecodeState& state, ReturnKind& returnKind,
               DetectReport& report) {
    InputShift shift;  // the input's JIS mode restarts with every block
    for (int i = 0; i < buffer.count; ++i)
        decodeByte(buffer.data[i], kind, returnKind, state, report, shift, nullptr);
}

// The bytes from 0x80 up so far are only the start of a character that the
// block's end cuts: in UTF-8, in a reading of EUC, or held by the scan.
bool cutAtBlockEnd(const FormCheck& check, const DecodeState& scanned) {
    return check.eightBitTail > 0 &&
           (check.utf8 != IDLE || eucOpen(check.legacy[0]) || eucOpen(check.legacy[1]) ||
            (scanned.holdsByte() && scanned.held >= 0x80));
}

// Well-formed UTF-8 without a wide sequence yet (or without the three a cut
// start needs) may still turn out to be UTF-8.
bool utf8Undecided(const DetectReport& r, const FormCheck& check, const InputBuffer& buffer) {
    return !r.has(detect::BROKEN) && !r.has(detect::WIDE) &&
           buffer.start + buffer.count - check.firstEightBit < utf8Window;
}

// Once the wait for a wide sequence is over, text that stayed well-formed
// UTF-8 through it with Latin text in it is UTF-8, unless the input ends
// inside a sequence or begins inside one (as Shift-JIS kanji whose lead
// and ASCII trail surround a kana pair would).
bool utf8AtEndOfWait(const DetectReport& r, const FormCheck& check, const InputBuffer& buffer) {
    return !r.has(detect::BROKEN) && check.latin == LATIN_FOUND && check.startTrails == 0 &&
           (!buffer.last || check.utf8 == IDLE);
}

// Evidence ranks the byte order mark and JIS over UTF-8 over Shift-JIS over
// EUC. Without any the code stays open, and so it does for 8-bit text that
// the next block may still show in another light, until the input ends.
CodeKind verdict(const DetectReport& r, const FormCheck& check, const InputBuffer& buffer,
                 const DecodeState& scanned) {
    if (r.has(detect::BOM)) return CodeKind::UTF8;
    if (r.has(detect::JIS)) return CodeKind::JIS;
    if (r.has(detect::WIDE) && !r.has(detect::BROKEN)) return CodeKind::UTF8;
    if (!r.has(detect::EIGHT_BIT)) return CodeKind::ASCII;
    if (!buffer.last && (cutAtBlockEnd(check, scanned) || utf8Undecided(r, check, buffer)))
        return CodeKind::ASCII;
    if (utf8AtEndOfWait(r, check, buffer)) return CodeKind::UTF8;
    if (r.has(detect::SJIS_LEAD) || r.has(detect::SJIS_ONLY)) return CodeKind::SJIS;
    return CodeKind::EUC;
}

}  // namespace

void Codec::scanBlock(const InputBuffer& buffer, DecodeState& state, FormCheck& forms, CodeKind& kind,
                      ReturnKind& returnKind, DetectReport& report, bool refuseBinary,
                      const Kernels& kernels) {
    const bool open = kind == CodeKind::ASCII;
    if (open) checkUtf8(buffer, forms, report, !perByte, kernels);
    if (perByte)
        scanPlain(buffer, kind, state, returnKind, report);
    else
        scanQuick(buffer, kind, state, returnKind, report, kernels);
    // Up to the first 8-bit byte the legacy forms hold nothing.
    if (open && report.has(detect::EIGHT_BIT)) checkLegacyForms(buffer, forms, report);
    if (open) kind = verdict(report, forms, buffer, state);
    if (refuseBinary && report.has(detect::BINARY)) kind = CodeKind::NOT_TEXT;
}

}  // namespace zekt
