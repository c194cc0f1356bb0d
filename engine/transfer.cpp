// Data transfer: one bounded step per tick of the progress dialog moves the current item's
// data into its target file - copied from a separate source file, copied from the installer
// file, or LZSS-decoded from either - and then re-arms the step timer or finishes the item.
// Below the steps: the two buffer reads, the write, and the bit reader that feeds the shared
// LZSS core (engine/core/lzss.h) from InstallState, so the decoder's state survives between
// ticks. Nothing is allocated here; every read is bounded by the bytes actually delivered.
#include "engine/engine.h"
#include "engine/messages.h"
#include "resources/dialog_numbers.h"

namespace {

// The decoder core reads its bits through the install state's reader.
struct InstallStateBits {
    int ReadBit() { return ::ReadBit(); }
    int ReadBits(int n) { return ::ReadBits(n); }
};

// Loads the next byte into bitByte when the mask asks for one; 0 when input failed.
int LoadBitByteIfNeeded(void) {
    if (InstallState.bitMask != 0x80) return 1;
    InstallState.bitByte = NextInputByte();
    return InstallState.bitByte >= 0;
}

int TakeBit(void) {
    int bit = (InstallState.bitByte & InstallState.bitMask) ? 1 : 0;
    InstallState.bitMask >>= 1;
    if (InstallState.bitMask == 0) InstallState.bitMask = 0x80;
    return bit;
}

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
    win.wsprintfA(text, "The source file (%s) is damaged!", CurrentEntry().sourceName);
    ShowAbortMessage(InstallState.progressDialog, text);
    return 0;
}

int RefuseCorruptInstaller(void) {
    ShowAbortMessage(InstallState.progressDialog, "Install program is corrupted!");
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
    win.wsprintfA(text, "Due to insufficient space on drive (%s:).", InstallState.targetDrive);
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

}  // namespace

int ReadBit(void) {
    if (!LoadBitByteIfNeeded()) return -1;
    return TakeBit();
}

// Takes the n bits (at most 24) a byte at a time rather than bit by bit: the unread bits of
// bitByte (those at and below bitMask, none when bitMask is 0x80), then whole input bytes,
// taken straight from the buffer while it holds some. The reader is left exactly as reading
// bit by bit leaves it: bitByte the last byte loaded, bitMask its next unread bit, or 0x80
// when none is left.
int ReadBits(int n) {
    uint32_t mask = InstallState.bitMask;
    int have = mask == 0x80 ? 0 : __builtin_ctz(mask) + 1;
    uint32_t last = (uint32_t)InstallState.bitByte;
    uint32_t bits = last & ((1u << have) - 1);
    for (; have < n; have += 8) {
        uint32_t at = InstallState.inPos;
        int next = at < InstallState.inFill && at < InstallState.bufferSize
                       ? (InstallState.inPos = at + 1, InstallState.inBuffer[at])
                       : NextInputByte();
        if (next < 0) {
            // As bit by bit: the bits before the failed load are used up, the byte is -1.
            InstallState.bitByte = -1;
            InstallState.bitMask = 0x80;
            return -1;
        }
        last = (uint32_t)next;
        bits = bits << 8 | last;
    }
    int left = have - n;
    InstallState.bitByte = (int32_t)last;
    InstallState.bitMask = (uint8_t)(left == 0 ? 0x80 : 1u << (left - 1));
    return (int)((bits >> left) & ((1u << n) - 1));
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
        ShowCodeMessage(InstallState.progressDialog,
                        "Due to unknown file error (%#X) during file generation!", code);
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
        ShowCodeMessage(InstallState.progressDialog,
                        "Due to unknown file error (%#X) during file extraction!",
                        win.GetLastError());
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
        ShowCodeMessage(InstallState.progressDialog,
                        "Due to unknown file error (%#X) during read operation.",
                        win.GetLastError());
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
    InstallStateBits bits;
    uint32_t produced = 0;
    // One token yields at most 17 bytes, so stopping past bufferSize - 20 keeps the buffer
    // from overflowing without a check per byte.
    while (produced <= InstallState.bufferSize - 20) {
        int result = DecodeLzssToken(bits, InstallState.window, &InstallState.windowPos,
                                     InstallState.outBuffer, &produced);
        if (result == LZSS_TOKEN_INPUT_FAILED) return 0;
        if (result != LZSS_TOKEN_END) continue;
        if (!EmbeddedStreamEndsInPlace()) return RefuseCorruptInstaller();
        return EndDecodedItem(produced);
    }
    if (!WriteOutput(InstallState.outBuffer, produced) || !ArmTimer(TIMER_STEP, PROGRESS_STEP_MS))
        return 0;
    DrawProgress();
    return 1;
}
