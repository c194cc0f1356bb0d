// The installer's own memory and string functions (platform/win32/runtime), which replace the
// C library's in the Windows builds, compared here with the host's C library on the same
// inputs. Compiled under other names, so that this program keeps the host's functions.
#include <gtest/gtest.h>
#include <string.h>

#include <string>
#include <vector>

#define memcpy rt_memcpy
#define memmove rt_memmove
#define memset rt_memset
#define memcmp rt_memcmp
#define memchr rt_memchr
#define strlen rt_strlen
#define strnlen rt_strnlen
#define strcmp rt_strcmp
#define strcpy rt_strcpy
#define strcat rt_strcat
#define strncpy rt_strncpy
#define strchr rt_strchr
#define strstr rt_strstr
#include "platform/win32/runtime/memory_string.cpp"
#undef memcpy
#undef memmove
#undef memset
#undef memcmp
#undef memchr
#undef strlen
#undef strnlen
#undef strcmp
#undef strcpy
#undef strcat
#undef strncpy
#undef strchr
#undef strstr

namespace {

int Sign(int value) {
    return (value > 0) - (value < 0);
}

const std::vector<std::string> kTexts = {
    "", "a", "abc", "abd", "ab", "C:\\PROGRAM FILES\\X", "\x80\xff", "QRVNE32", "aaab"};

TEST(Win32Runtime, ComparisonsAndSearchesAgreeWithTheCLibrary) {
    for (const std::string& a : kTexts) {
        EXPECT_EQ(rt_strlen(a.c_str()), strlen(a.c_str())) << a;
        for (size_t limit : std::vector<size_t>{0, 1, 2, 100})
            EXPECT_EQ(rt_strnlen(a.c_str(), limit), strnlen(a.c_str(), limit));
        for (int c : std::vector<int>{'a', 'b', '\\', 0, 0xff, 'z'}) {
            EXPECT_EQ(rt_strchr(a.c_str(), c), strchr(a.c_str(), c)) << a << " " << c;
            EXPECT_EQ(rt_memchr(a.c_str(), c, a.size()), memchr(a.c_str(), c, a.size()));
        }
        for (const std::string& b : kTexts) {
            EXPECT_EQ(Sign(rt_strcmp(a.c_str(), b.c_str())), Sign(strcmp(a.c_str(), b.c_str())))
                << a << " / " << b;
            size_t common = std::min(a.size(), b.size()) + 1;
            EXPECT_EQ(Sign(rt_memcmp(a.c_str(), b.c_str(), common)),
                      Sign(memcmp(a.c_str(), b.c_str(), common)));
            EXPECT_EQ(rt_strstr(a.c_str(), b.c_str()), strstr(a.c_str(), b.c_str()))
                << a << " / " << b;
        }
    }
}

TEST(Win32Runtime, CopiesFillAndPadLikeTheCLibrary) {
    for (const std::string& a : kTexts) {
        char mine[32], theirs[32];
        for (size_t count : std::vector<size_t>{0, 1, 3, 20}) {
            memset(mine, '#', sizeof mine), memset(theirs, '#', sizeof theirs);
            rt_strncpy(mine, a.c_str(), count), strncpy(theirs, a.c_str(), count);
            EXPECT_EQ(memcmp(mine, theirs, sizeof mine), 0) << a << " " << count;
        }
        memset(mine, '#', sizeof mine), memset(theirs, '#', sizeof theirs);
        rt_strcpy(mine, "x"), strcpy(theirs, "x");
        EXPECT_EQ(rt_strcat(mine, a.c_str()), mine);
        strcat(theirs, a.c_str());
        EXPECT_EQ(memcmp(mine, theirs, sizeof mine), 0) << a;
        rt_memset(mine, 0x1ab, 5);
        EXPECT_EQ(std::string(mine, 5), std::string(5, '\xab'));
    }
}

// memmove in both directions at every overlap; memcpy on separate blocks.
TEST(Win32Runtime, MoveHandlesEveryOverlap) {
    for (int from = 0; from < 8; from++) {
        for (int to = 0; to < 8; to++) {
            char mine[16], theirs[16];
            for (int i = 0; i < 16; i++) mine[i] = theirs[i] = (char)('a' + i);
            EXPECT_EQ(rt_memmove(mine + to, mine + from, 8), mine + to);
            memmove(theirs + to, theirs + from, 8);
            EXPECT_EQ(std::string(mine, 16), std::string(theirs, 16)) << from << " -> " << to;
        }
    }
    char source[] = "separate", target[9] = {};
    EXPECT_EQ(rt_memcpy(target, source, sizeof source), target);
    EXPECT_STREQ(target, "separate");
}

}  // namespace
