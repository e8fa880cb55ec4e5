// Proves the linear locator search equivalent to the literal locator pattern run by a
// backtracking engine with the same semantics: reference/'s PCRE2 search on UTF-16 code units,
// caseless, '.' refusing only a line feed, '\w' ASCII, in PCRE2's interpreter. The generated
// lines stay short, since the nested quantifier takes exponential time there.
#include <gtest/gtest.h>

#include <iostream>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "mount/share_locator.h"
#include "reference/pcre2_locator_search.h"

namespace brisvane {

// Readable matches in failure messages (found by argument-dependent lookup).
void PrintTo(const LocatorMatch& match, std::ostream* out) {
    *out << "{at " << match.position << ", length " << match.length << "}";
}

namespace {

using reference::LocatorPatternForm;
using reference::Pcre2LocatorSearch;

// Pieces rich in what the pattern cares about: schemes in several cases, broken schemes, word
// characters, the path group's characters, markup, line ends and a few non-ASCII units
// (U+017F and U+212A fold to s and k in Unicode, but not here).
const std::vector<Text> kPieces = {
    u"smb://", u"SMB://", u"sMb://", u"smb:/",  u"smb:",   u"sm", u"b://",  u"s",    u"m",
    u"b",      u"S",      u"M",      u"B",      u":",      u"/",  u"//",    u"-",    u"_",
    u"<",      u" ",      u"\r",     u"\n",     u"\r\n",   u"a",  u"Z",     u"x",    u"0",
    u"9",      u".",      u"?",      u"%",      u"&",      u"=",  u"$",     u">",    u"\"",
    u"\t",     u"\u00e9", u"\u017f", u"\u212a", u"\u0000", u"td", u"</td>", u"srv1", u"user1",
};

class Generator {
  public:
    explicit Generator(std::uint32_t seed) : random_(seed) {}

    // A line of up to `maxPieces` pieces, no line feed inside.
    Text Line(int maxPieces) {
        Text line;
        const int count = Uniform(0, maxPieces);
        for (int i = 0; i < count; ++i) {
            const Text& piece =
                kPieces[static_cast<std::size_t>(Uniform(0, static_cast<int>(kPieces.size()) - 1))];
            if (piece.find(u'\n') == Text::npos) {
                line += piece;
            }
        }
        return line;
    }

    // Several lines joined by LF or CR LF, sometimes ending with a line break.
    Text Page() {
        Text page;
        const int lines = Uniform(1, 5);
        for (int i = 0; i < lines; ++i) {
            if (i > 0) {
                page += Uniform(0, 1) ? u"\n" : u"\r\n";
            }
            page += Line(8);
        }
        if (Uniform(0, 3) == 0) {
            page += u"\n";
        }
        return page;
    }

  private:
    int Uniform(int low, int high) {
        return std::uniform_int_distribution<int>(low, high)(random_);
    }
    std::mt19937 random_;
};

std::string Describe(TextView text) {
    std::ostringstream out;
    for (const char16_t unit : text) {
        if (unit >= 0x20 && unit < 0x7F) {
            out << static_cast<char>(unit);
        } else {
            out << "\\u{" << std::hex << static_cast<unsigned>(unit) << std::dec << "}";
        }
    }
    return out.str();
}

// How many generated cases had no match, one, or several: the generator must reach them all.
struct Coverage {
    int none = 0;
    int one = 0;
    int several = 0;
};

// A failure of the engine (its match limit, say) fails the case, so that a slow case never
// passes silently.
void ExpectSameMatches(Pcre2LocatorSearch& engine, TextView text, Coverage& coverage) {
    const std::optional<std::vector<LocatorMatch>> expected = engine.Matches(text);
    ASSERT_TRUE(expected.has_value()) << "PCRE2 gave up on \"" << Describe(text) << "\"";
    ASSERT_EQ(FindShareLocators(text), *expected) << "on \"" << Describe(text) << "\"";
    (expected->empty() ? coverage.none : expected->size() == 1 ? coverage.one : coverage.several)++;
}

TEST(ShareLocatorEquivalenceTest, LinearSearchFindsWhatTheLiteralPatternFinds) {
    Pcre2LocatorSearch engine(LocatorPatternForm::kNested, /*jit=*/false);
    Generator generator(20261208);
    constexpr int kLines = 80'000;
    constexpr int kPages = 40'000;
    Coverage lines;
    for (int i = 0; i < kLines; ++i) {
        ExpectSameMatches(engine, generator.Line(12), lines);
        if (HasFatalFailure()) {
            return;
        }
    }
    Coverage pages;
    for (int i = 0; i < kPages; ++i) {
        ExpectSameMatches(engine, generator.Page(), pages);
        if (HasFatalFailure()) {
            return;
        }
    }
    EXPECT_GT(lines.one, kLines / 10);
    EXPECT_GT(lines.none, kLines / 10);
    EXPECT_GT(pages.one, kPages / 10);
    EXPECT_GT(pages.several, kPages / 100);
    std::cout << "lines: " << lines.none << " without a match, " << lines.one << " with one\n"
              << "pages: " << pages.none << " without, " << pages.one << " with one, "
              << pages.several << " with several\n";
}

// Hand-picked lines around the decisions the linear search makes.
TEST(ShareLocatorEquivalenceTest, AgreesOnTheBoundaryCases) {
    Pcre2LocatorSearch engine(LocatorPatternForm::kNested, /*jit=*/false);
    Coverage coverage;
    for (const TextView text :
         {TextView(u"smb://a"), TextView(u"smb://ab"), TextView(u"smb://a/"), TextView(u"smb:// a"),
          TextView(u"smb://a-"), TextView(u"smb://\u017fmb"), TextView(u"\u017fmb://ab"),
          TextView(u"smb://ab/ /. ?%&=x"), TextView(u"smb://ab/\r"), TextView(u"smb://\r\n\r\nab"),
          TextView(u"xsmb://smb://ab"), TextView(u"smb://ab\nsmb://cd"),
          TextView(u"SMB://A/B<td>smb://c/d</td>")}) {
        ExpectSameMatches(engine, text, coverage);
    }
}

}  // namespace
}  // namespace brisvane
