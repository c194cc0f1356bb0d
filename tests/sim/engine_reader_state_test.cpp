// The decoder's reader state pinned tick by tick. A reference written here from the stream
// format alone (one bit at a time, a byte-by-byte ring copy, the buffer refilled as the reads
// deliver) runs beside the installer: after every tick and after every failure the six reader
// fields of the install record (bitMask, bitByte, inPos, inFill, embeddedLeft, bytesDone) and
// the bytes in the target file must be what the reference says. Source reads are cut to 1, 3,
// 7, 4999 and 5000 bytes; sources end early at the same sizes.
#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "tests/support/engine_harness.h"
#include "tests/support/lzss_tokens.h"
#include "tests/support/sim_fixture.h"

namespace {

const uint32_t BUFFER = 5000;
const uint32_t TICK_LIMIT = BUFFER - 20;  // a token is started while at most this is out

struct ReaderFields {
    int bitMask;
    int bitByte;
    uint32_t inPos, inFill, embeddedLeft, bytesDone;
    bool operator==(const ReaderFields& o) const {
        return bitMask == o.bitMask && bitByte == o.bitByte && inPos == o.inPos &&
               inFill == o.inFill && embeddedLeft == o.embeddedLeft && bytesDone == o.bytesDone;
    }
};

std::ostream& operator<<(std::ostream& out, const ReaderFields& f) {
    return out << "bitMask " << f.bitMask << ", bitByte " << f.bitByte << ", inPos " << f.inPos
               << ", inFill " << f.inFill << ", embeddedLeft " << f.embeddedLeft << ", bytesDone "
               << f.bytesDone;
}

ReaderFields RecordFields() {
    return {InstallState.bitMask, InstallState.bitByte,      InstallState.inPos,
            InstallState.inFill,  InstallState.embeddedLeft, InstallState.bytesDone};
}

// How the item's data reaches the installer.
struct Delivery {
    bool external = false;
    std::string data;          // the source file, or the stored bytes in the package
    uint32_t storedSize = 0;   // the table's storedSize
    uint32_t piece = BUFFER;   // a source read delivers at most this many bytes
    unsigned failingRead = 0;  // the item's nth read fails (0: none)
    unsigned failingWrite = 0;
};

// The reference: the reader as the stream format describes it, one bit at a time.
class ReferenceDecoder {
   public:
    ReferenceDecoder(const Delivery& d, const ReaderFields& start) : d_(d), f_(start) {
        f_.inPos = BUFFER;
        f_.bitMask = 0x80;
        f_.embeddedLeft = d.storedSize;
    }

    // Runs the ticks; returns the fields after each successful tick and after the failure.
    std::vector<ReaderFields> Run() {
        std::vector<ReaderFields> seen;
        for (unsigned tick = 1;; tick++) {
            int result = Tick(tick);
            if (result <= 0) {
                seen.push_back(f_);
                return seen;
            }
            if (result == 2) {
                f_.bytesDone = d_.storedSize;  // the last item: the bar is shown full
                seen.push_back(f_);
                return seen;
            }
            seen.push_back(f_);
        }
    }

    std::string written;  // what the target file holds
    bool failed = false;

   private:
    // 1: a full tick, 2: the end of the item, 0: a failure.
    int Tick(unsigned tick) {
        std::string out;
        while (out.size() <= TICK_LIMIT) {
            int token = Token(&out);
            if (token < 0) return Fail();
            if (token == 0) {
                if (!d_.external && !(f_.embeddedLeft == 0 && f_.inPos == f_.inFill)) return Fail();
                if (tick == d_.failingWrite) return Fail();
                written += out;
                return 2;
            }
        }
        if (tick == d_.failingWrite) return Fail();
        written += out;
        return 1;
    }

    int Fail() {
        failed = true;
        return 0;
    }

    // 1 for bytes appended, 0 for the end marker, -1 when input failed.
    int Token(std::string* out) {
        int flag = Bit();
        if (flag < 0) return -1;
        if (flag == 1) {
            int literal = Bits(8);
            if (literal < 0) return -1;
            Put((uint8_t)literal, out);
            return 1;
        }
        int position = Bits(12);
        if (position < 0) return -1;
        if (position == 0) return 0;
        int count = Bits(4);
        if (count < 0) return -1;
        for (int j = 0; j < count + 2; j++) Put(ring_[(position + j) % 4096], out);
        return 1;
    }

    void Put(uint8_t byte, std::string* out) {
        out->push_back((char)byte);
        ring_[windowPos_] = byte;
        windowPos_ = (windowPos_ + 1) % 4096;
    }

    int Bits(int n) {
        int value = 0;
        for (int i = 0; i < n; i++) {
            int bit = Bit();
            if (bit < 0) return -1;
            value = value * 2 + bit;
        }
        return value;
    }

    int Bit() {
        if (f_.bitMask == 0x80) {
            f_.bitByte = NextByte();
            if (f_.bitByte < 0) return -1;
        }
        int bit = (f_.bitByte & f_.bitMask) ? 1 : 0;
        f_.bitMask = f_.bitMask == 1 ? 0x80 : f_.bitMask / 2;
        return bit;
    }

    // Only the bytes the last read delivered are taken.
    int NextByte() {
        if (f_.inPos >= f_.inFill || f_.inPos >= BUFFER) {
            if (!Refill()) return -1;
            f_.inPos = 0;
        }
        return (uint8_t)buffer_[f_.inPos++];
    }

    bool Refill() {
        reads_++;
        if (!d_.external && f_.embeddedLeft == 0) return false;  // the stream overran its item
        if (reads_ == d_.failingRead) return false;
        uint32_t wanted = d_.external ? BUFFER : std::min(BUFFER, f_.embeddedLeft);
        if (d_.external) wanted = std::min(wanted, d_.piece);
        uint32_t got = (uint32_t)std::min<size_t>(wanted, d_.data.size() - taken_);
        if (!d_.external && got != wanted) return false;  // the package is shorter
        buffer_ = d_.data.substr(taken_, got);
        taken_ += got;
        f_.inFill = got;
        f_.bytesDone += got;
        if (!d_.external) f_.embeddedLeft -= got;
        return !d_.external || got > 0;  // a source that has ended is damaged
    }

    const Delivery& d_;
    ReaderFields f_;
    std::string buffer_;
    size_t taken_ = 0;
    unsigned reads_ = 0;
    uint8_t ring_[4096] = {};
    uint32_t windowPos_ = 1;
};

// What the installer shows of its reader: the fields whenever it arms a timer (the end of
// every tick after the first arming) and the reads of the item's data cut or failed.
std::vector<ReaderFields> seenAtTimers;
const Delivery* delivering;
unsigned itemReads;

UINT_PTR WINAPI RecordingSetTimer(HWND window, UINT_PTR id, UINT elapse, TIMERPROC callback) {
    seenAtTimers.push_back(RecordFields());
    return PlatformBackend.SetTimer(window, id, elapse, callback);
}

BOOL WINAPI CuttingReadFile(HANDLE file, LPVOID buffer, DWORD wanted, LPDWORD got,
                            LPOVERLAPPED overlapped) {
    bool itemData =
        InstallState.outputFile != nullptr &&
        file == (delivering->external ? InstallState.sourceFile : InstallState.installerFile);
    if (itemData && ++itemReads == delivering->failingRead) {
        *got = 0;
        win.SetLastError(ERROR_READ_FAULT);
        return FALSE;
    }
    if (itemData && delivering->external && wanted > delivering->piece) wanted = delivering->piece;
    return PlatformBackend.ReadFile(file, buffer, wanted, got, overlapped);
}

class EngineReaderState : public SimTest {
   protected:
    // Runs one compressed item; checks every tick's fields, the failure's, and the file.
    void Check(const std::string& name, const Delivery& d) {
        SCOPED_TRACE(name);
        SetUp();
        ResetInstallState();
        ReferenceDecoder reference(d, RecordFields());
        std::vector<ReaderFields> expected = reference.Run();

        seenAtTimers.clear();
        delivering = &d;
        itemReads = 0;
        win.SetTimer = RecordingSetTimer;
        win.ReadFile = CuttingReadFile;
        if (d.failingWrite) FailPlatformCall("WriteFile", d.failingWrite, 0, ERROR_WRITE_FAULT);
        TestItem item;
        if (d.external) {
            item = ExternalItem("OUT.BIN", "OUT.BI_", d.data, CF_COMPRESSED);
        } else {
            item.stored = d.data;
            item.entry = MakeEntry(CF_EMBEDDED | CF_COMPRESSED, "OUT.BIN", "OUT.BI_", 0);
        }
        item.entry.storedSize = d.storedSize;
        int result = RunInstall({item});
        RestorePlatformCalls();

        EXPECT_EQ(result, reference.failed ? 0 : 1);
        // The first arming starts the copy phase; each later one ends a tick. A failed tick
        // arms nothing: the record as the run left it is the one after the failure.
        std::vector<ReaderFields> seen;
        if (!seenAtTimers.empty()) seen.assign(seenAtTimers.begin() + 1, seenAtTimers.end());
        if (reference.failed) seen.push_back(RecordFields());
        ASSERT_EQ(seen.size(), expected.size());
        for (size_t tick = 0; tick < seen.size(); tick++)
            EXPECT_EQ(seen[tick], expected[tick]) << "after tick " << tick + 1;
        EXPECT_EQ(FileText("C:\\TARGET\\OUT.BIN"), reference.written);
    }
};

// Four literals in five tokens, so that the stream spans several buffers; matches reach back
// at most as far as the stream has written, so every byte is defined.
std::string RandomStream(uint32_t seed, size_t outputBytes, bool terminated) {
    std::mt19937 rng(seed);
    LzssTokenWriter w;
    size_t written = 0;
    while (written < outputBytes) {
        if (written == 0 || rng() % 5 != 0) {
            w.Literal((uint8_t)rng());
            written++;
            continue;
        }
        uint32_t back = 1 + rng() % (uint32_t)std::min<size_t>(written, 4000);
        uint16_t position = (uint16_t)((1 + written - back) % 4096);
        if (position == 0) continue;  // that would be the end marker
        uint8_t count = (uint8_t)(rng() % 16);
        w.Match(position, count);
        written += count + 2u;
    }
    return terminated ? w.End() : w.Unterminated();
}

TEST_F(EngineReaderState, SourceReadsCutToAnySizeLeaveTheReaderAsTheReference) {
    std::string stream = RandomStream(7, 24000, true);
    ASSERT_GT(stream.size(), 2 * BUFFER);
    for (uint32_t piece : {1u, 3u, 7u, 4999u, 5000u}) {
        Delivery d;
        d.external = true;
        d.data = stream;
        d.storedSize = (uint32_t)stream.size();
        d.piece = piece;
        Check("reads of " + std::to_string(piece), d);
    }
}

// A source file that ends before its stream does: the reader's state after the failure, and
// in the file exactly the ticks before the failing one.
TEST_F(EngineReaderState, DamagedSourceEndsWithTheReferenceStateAndContent) {
    std::string stream = RandomStream(11, 24000, true);
    ASSERT_GT(stream.size(), 10000u);
    for (uint32_t cut : {1u, 3u, 7u, 4999u, 5000u, 9999u}) {
        for (uint32_t piece : {7u, 5000u}) {
            Delivery d;
            d.external = true;
            d.data = stream.substr(0, cut);
            d.storedSize = (uint32_t)stream.size();
            d.piece = piece;
            Check("source cut at " + std::to_string(cut) + ", reads of " + std::to_string(piece),
                  d);
            EXPECT_EQ(MessageTexts(),
                      std::vector<std::string>{"The source file (OUT.BI_) is damaged!"});
        }
    }
}

TEST_F(EngineReaderState, EmbeddedStreamsAndFailedReadsAndWrites) {
    std::string stream = RandomStream(5, 16000, true);
    ASSERT_GT(stream.size(), BUFFER);
    std::string unterminated = RandomStream(6, 9000, false);
    const struct {
        const char* name;
        bool external;
        std::string data;
        uint32_t storedSize;
        unsigned failingRead, failingWrite;
    } cases[] = {
        {"embedded, whole", false, stream, (uint32_t)stream.size(), 0, 0},
        {"embedded, no end marker", false, unterminated, (uint32_t)unterminated.size(), 0, 0},
        {"embedded, bytes after the end marker", false, stream + "xyz", (uint32_t)stream.size() + 3,
         0, 0},
        {"embedded, second read fails", false, stream, (uint32_t)stream.size(), 2, 0},
        {"embedded, first read fails", false, stream, (uint32_t)stream.size(), 1, 0},
        {"embedded, second write fails", false, stream, (uint32_t)stream.size(), 0, 2},
        {"source, third read fails", true, stream, (uint32_t)stream.size(), 3, 0},
        {"source, last write fails", true, stream, (uint32_t)stream.size(), 0, 4},
        {"source, one write too many", true, stream, (uint32_t)stream.size(), 0, 5},
    };
    for (const auto& c : cases) {
        Delivery d;
        d.external = c.external;
        d.data = c.data;
        d.storedSize = c.storedSize;
        d.failingRead = c.failingRead;
        d.failingWrite = c.failingWrite;
        Check(c.name, d);
    }
}

// Before a refill's ReadFile, which may end the installation, the record must already be as
// reading bit by bit leaves it: every bit of the buffer taken (bitMask 0x80), bitByte its last
// byte, inPos at its end, the progress counted so far.
std::vector<std::string> staleAtRefill;
size_t deliveredSoFar;
std::string refillData;

BOOL WINAPI CheckingReadFile(HANDLE file, LPVOID buffer, DWORD wanted, LPDWORD got,
                             LPOVERLAPPED overlapped) {
    if (InstallState.outputFile != nullptr && file == InstallState.sourceFile) {
        ReaderFields f = RecordFields();
        uint32_t end = deliveredSoFar == 0 ? BUFFER : InstallState.inFill;
        bool exact = f.bitMask == 0x80 && f.inPos == end && f.bytesDone == deliveredSoFar &&
                     (deliveredSoFar == 0 || f.bitByte == (uint8_t)refillData[deliveredSoFar - 1]);
        if (!exact) {
            std::ostringstream text;
            text << "at byte " << deliveredSoFar << ": " << f;
            staleAtRefill.push_back(text.str());
        }
        if (wanted > 7) wanted = 7;
        BOOL ok = PlatformBackend.ReadFile(file, buffer, wanted, got, overlapped);
        deliveredSoFar += *got;
        return ok;
    }
    return PlatformBackend.ReadFile(file, buffer, wanted, got, overlapped);
}

TEST_F(EngineReaderState, RecordIsExactBeforeEveryRefill) {
    refillData = RandomStream(3, 24000, true);
    staleAtRefill.clear();
    deliveredSoFar = 0;
    win.ReadFile = CheckingReadFile;
    ASSERT_EQ(RunInstall({ExternalItem("OUT.BIN", "OUT.BI_", refillData, CF_COMPRESSED)}), 1);
    EXPECT_EQ(deliveredSoFar, refillData.size());
    EXPECT_EQ(staleAtRefill, std::vector<std::string>{});
}

}  // namespace
