// Data transfer: one bounded step per tick of the progress dialog moves the current item's
// data into its target file - copied from a separate source file, copied from the installer
// file, or LZSS-decoded from either - and then re-arms the step timer or finishes the item.
// Below the steps: the two buffer reads, the write, and the bit reader that feeds the shared
// LZSS core (engine/core/lzss.h). Its state lives in InstallState between ticks; within one
// tick it is kept in locals and written back before the tick returns and before any refill,
// whose platform calls may end the installation. Nothing is allocated here; every read is
// bounded by the bytes actually delivered.
#include <stdint.h>
#include <string.h>

#include "engine/engine.h"
#include "engine/messages.h"
#include "resources/ui_table.h"

namespace {

// The decoded stream ended: write the rest, close the item's files, finish it.
int EndDecodedItem(uint32_t produced) {
    if (!WriteOutput(InstallState.outBuffer, produced)) return 0;
    CloseFile(&InstallState.outputFile);
    if (CurrentEntry().flags & CF_EXTERNAL_SOURCE) CloseFile(&InstallState.sourceFile);
    if (!FinishItem()) return 0;
    DrawProgress();
    return 1;
}

int RefuseDamagedSource(void) {
    char text[96];
    win.wsprintfA(text, MSG_SOURCE_DAMAGED, CurrentEntry().sourceName);
    ShowAbortMessage(InstallState.progressDialog, text);
    return 0;
}

int RefuseCorruptInstaller(void) {
    ShowAbortMessage(InstallState.progressDialog, MSG_INSTALLER_CORRUPTED);
    return 0;
}

// An embedded stream must end exactly where its stored bytes end: bytes left over (unread in
// the file or unused in the buffer) would be decoded as the start of the next item.
int EmbeddedStreamEndsInPlace(void) {
    if (CurrentEntry().flags & CF_EXTERNAL_SOURCE) return 1;  // longer source files are fine
    return InstallState.embeddedLeft == 0 && InstallState.inPos == InstallState.inFill;
}

// A stream that still needs input where its data has ended is damaged; the left-overs of an
// earlier read in the buffer are never decoded.
int RefillInput(void) {
    if (CurrentEntry().flags & CF_EXTERNAL_SOURCE) {
        if (!ReadFromSource()) return 0;
        if (InstallState.inFill > 0) return 1;
        return RefuseDamagedSource();
    }
    if (InstallState.embeddedLeft == 0) return RefuseCorruptInstaller();
    return ReadFromInstaller();
}

// A full disk: a short write on the old systems, ERROR_DISK_FULL or ERROR_HANDLE_DISK_FULL
// from a failing write on Windows NT. Always the target directory's drive, whatever folder
// the item goes to.
int RefuseFullDisk(void) {
    char text[64];
    win.wsprintfA(text, MSG_DISK_FULL, InstallState.targetDrive);
    ShowAbortMessage(InstallState.progressDialog, text);
    return 0;
}

// Takes a source read's bytes off what the item's table entry says the source holds.
void CountSourceBytes(void) {
    if (InstallState.inFill >= InstallState.sourceLeft)
        InstallState.sourceLeft = 0;
    else
        InstallState.sourceLeft -= InstallState.inFill;
}

// Bytes the last read delivered that the reader may take: a partly filled buffer ends at
// inFill.
uint32_t DeliveredBytes(void) {
    return InstallState.inFill < InstallState.bufferSize ? InstallState.inFill
                                                         : InstallState.bufferSize;
}

// The reader's accumulator is a machine word: 32 bits in the PE32, 64 on 64-bit builds.
typedef size_t BitWord;
const uint32_t WORD_BITS = sizeof(BitWord) * 8;

BitWord BigEndianWord(const uint8_t* bytes) {
    BitWord word;
    memcpy(&word, bytes, sizeof word);
#if !defined(__BYTE_ORDER__) || __BYTE_ORDER__ != __ORDER_LITTLE_ENDIAN__
    return word;
#elif SIZE_MAX > 0xFFFFFFFFu
    return __builtin_bswap64(word);
#else
    return __builtin_bswap32(word);
#endif
}

// The bit reader of one tick. It takes the record's reader state (bitMask, bitByte, inPos)
// into locals, takes input bytes into a word-sized accumulator several at a time, and gives the
// record back exactly as reading bit by bit leaves it: bitByte the last byte loaded, bitMask
// its next unread bit (0x80 when none is left), inPos the byte after it. Between Load and
// Store the record is stale; nothing outside the reader looks at it then.
struct TickBits {
    const uint8_t* in;
    uint32_t start;  // inPos when taken over; bytes before it were loaded by earlier reads
    uint32_t pos;    // the next byte to take into the accumulator
    uint32_t limit;  // DeliveredBytes()
    BitWord buffer;  // the unread bits, most significant first; below them zeros or the
                     // bits of the bytes that follow, which a later fill ORs in again
    uint32_t count;  // unread bits in `buffer`

    void Load() {
        in = InstallState.inBuffer;
        start = pos = InstallState.inPos;
        limit = DeliveredBytes();
        uint32_t mask = InstallState.bitMask;
        count = mask == 0x80 ? 0 : (uint32_t)__builtin_ctz(mask) + 1;
        buffer = count ? (BitWord)InstallState.bitByte << (WORD_BITS - count) : 0;
    }

    // The unread whole bytes go back to the buffer; the byte that holds the next bit, or the
    // last one taken, becomes bitByte.
    void Store() {
        uint32_t next = pos - count / 8;
        uint32_t partial = count % 8;
        InstallState.inPos = next;
        InstallState.bitMask = (uint8_t)(partial ? 1u << (partial - 1) : 0x80);
        if (next > start) InstallState.bitByte = in[next - 1];
    }

    // The buffer is used up. The bits still unread belong to the value being read, so the
    // record shows them taken, as bit by bit, before the refill's platform calls. A failed
    // refill leaves the record as a failed load does (bitByte -1, bitMask 0x80).
    int Refill() {
        InstallState.inPos = pos;
        InstallState.bitMask = 0x80;
        if (pos > start) InstallState.bitByte = in[pos - 1];
        if (!RefillInput()) {
            InstallState.bitByte = -1;
            return 0;
        }
        // The bits already gathered stay in the accumulator; the new buffer starts at 0.
        InstallState.inPos = 0;
        start = pos = 0;
        limit = DeliveredBytes();
        return 1;
    }

    // Takes what the buffer holds into the accumulator, at least WORD_BITS - 8 bits when it
    // can; never refills.
    void TopUp() {
        if (pos + sizeof(BitWord) <= limit) {
            buffer |= BigEndianWord(in + pos) >> count;
            uint32_t whole = (WORD_BITS - 1 - count) >> 3;
            pos += whole;
            count += whole * 8;
            return;
        }
        for (; count <= WORD_BITS - 8 && pos < limit; count += 8)
            buffer |= (BitWord)in[pos++] << (WORD_BITS - 8 - count);
    }

    // At least n bits (n <= 24) into the accumulator, refilling when the buffer is used up;
    // 0 when input failed.
    int Fill(uint32_t n) {
        for (;;) {
            TopUp();
            if (count >= n) return 1;
            if (!Refill()) return 0;
        }
    }

    // n from 1 to 24; -1 when input failed, with the record already exact.
    int ReadBits(int n) {
        if (count < (uint32_t)n && !Fill((uint32_t)n)) return -1;
        uint32_t value = (uint32_t)(buffer >> (WORD_BITS - n));
        buffer <<= n;
        count -= (uint32_t)n;
        return (int)value;
    }

    // One token: straight from the accumulator when it holds the longest (17 bits), else read
    // by parts, with the refills they need. A refill's platform calls may end the
    // installation, so the record's ring position is made exact (`ringPos`) before them.
    int ReadToken(LzssToken* token, uint32_t ringPos) {
        if (count < 17) TopUp();
        if (count < 17) {
            InstallState.windowPos = ringPos;
            return ReadLzssToken(*this, token);
        }
        uint32_t used;
        int result = ParseLzssToken((uint32_t)(buffer >> (WORD_BITS - 32)), token, &used);
        buffer <<= used;
        count -= used;
        return result;
    }
};

}  // namespace

int ReadBit(void) {
    return ReadBits(1);
}

int ReadBits(int n) {
    TickBits bits;
    bits.Load();
    int value = bits.ReadBits(n);
    if (value >= 0) bits.Store();
    return value;
}

int NextInputByte(void) {
    // Only bytes the last read delivered count; a partly filled buffer ends at inFill.
    if (InstallState.inPos >= InstallState.inFill ||
        InstallState.inPos >= InstallState.bufferSize) {
        if (!RefillInput()) return -1;
        InstallState.inPos = 0;
    }
    return InstallState.inBuffer[InstallState.inPos++];
}

int WriteOutput(const uint8_t* bytes, uint32_t count) {
    DWORD written = 0;
    if (!win.WriteFile(InstallState.outputFile, bytes, count, &written, NULL)) {
        DWORD code = win.GetLastError();
        if (code == ERROR_DISK_FULL || code == ERROR_HANDLE_DISK_FULL) return RefuseFullDisk();
        ShowCodeMessage(InstallState.progressDialog, MSG_GENERATION_FAILED, code);
        return 0;
    }
    if (written < count) return RefuseFullDisk();
    return 1;
}

int ReadFromInstaller(void) {
    DWORD wanted = InstallState.embeddedLeft < InstallState.bufferSize ? InstallState.embeddedLeft
                                                                       : InstallState.bufferSize;
    DWORD got = 0;
    if (!win.ReadFile(InstallState.installerFile, InstallState.inBuffer, wanted, &got, NULL)) {
        ShowCodeMessage(InstallState.progressDialog, MSG_EXTRACTION_FAILED, win.GetLastError());
        return 0;
    }
    if (got != wanted) return RefuseCorruptInstaller();  // shorter than its package says
    InstallState.inFill = got;
    InstallState.bytesDone += got;
    InstallState.embeddedLeft -= got;
    return 1;
}

int ReadFromSource(void) {
    DWORD got = 0;
    if (!win.ReadFile(InstallState.sourceFile, InstallState.inBuffer, InstallState.bufferSize, &got,
                      NULL)) {
        ShowCodeMessage(InstallState.progressDialog, MSG_READ_FAILED, win.GetLastError());
        return 0;
    }
    // A short read is the end of the source file, not a failure.
    InstallState.inFill = got <= InstallState.bufferSize ? got : InstallState.bufferSize;
    InstallState.bytesDone += InstallState.inFill;
    return 1;
}

int CopyFromSourceStep(void) {
    if (!ReadFromSource()) return 0;
    CountSourceBytes();
    // A short read ends the file; one that ends before its stored size is a damaged copy.
    if (InstallState.inFill < InstallState.bufferSize && InstallState.sourceLeft > 0)
        return RefuseDamagedSource();
    if (!WriteOutput(InstallState.inBuffer, InstallState.inFill)) return 0;
    DrawProgress();
    if (InstallState.inFill == InstallState.bufferSize)
        return ArmTimer(TIMER_STEP, PROGRESS_STEP_MS);
    CloseFile(&InstallState.sourceFile);
    CloseFile(&InstallState.outputFile);
    return FinishItem();
}

int CopyFromInstallerStep(void) {
    if (!ReadFromInstaller()) return 0;
    if (!WriteOutput(InstallState.inBuffer, InstallState.inFill)) return 0;
    DrawProgress();
    if (InstallState.embeddedLeft > 0) return ArmTimer(TIMER_STEP, PROGRESS_STEP_MS);
    // The installer file stays open for the following items.
    CloseFile(&InstallState.outputFile);
    return FinishItem();
}

int DecodeStep(void) {
    TickBits bits;
    bits.Load();
    uint8_t* ring = InstallState.window;
    uint8_t* out = InstallState.outBuffer;
    // One token yields at most 17 bytes, so stopping past bufferSize - 20 keeps the buffer
    // from overflowing without a check per byte.
    uint32_t stop = InstallState.bufferSize - 20, produced = 0;
    uint32_t ringPos = InstallState.windowPos;
    int result = LZSS_TOKEN_BYTES;
    while (result == LZSS_TOKEN_BYTES && produced <= stop) {
        LzssToken token;
        result = bits.ReadToken(&token, ringPos);
        if (result == LZSS_TOKEN_BYTES) StoreLzssToken(token, ring, &ringPos, out, &produced);
    }
    if (result == LZSS_TOKEN_INPUT_FAILED) return 0;  // the failed refill left the record exact
    InstallState.windowPos = ringPos;
    bits.Store();
    if (result == LZSS_TOKEN_END) {
        if (!EmbeddedStreamEndsInPlace()) return RefuseCorruptInstaller();
        return EndDecodedItem(produced);
    }
    if (!WriteOutput(out, produced) || !ArmTimer(TIMER_STEP, PROGRESS_STEP_MS)) return 0;
    DrawProgress();
    return 1;
}
