#include "mount/shown_text.h"

#include <gtest/gtest.h>

#include <string>

namespace brisvane {
namespace {

std::string Traced(TextView text) {
    std::string traced;
    for (const char16_t c : text) {
        traced += c < 0x80 ? std::string(1, static_cast<char>(c)) : "#" + std::to_string(c);
    }
    return traced;
}

TEST(ShownTextTest, EscapesWhatActsOnTheDisplayAndNothingElse) {
    struct Case {
        TextView text;
        TextView shown;
    };
    const char16_t loneHigh[] = {u'a', 0xD800, u'b', 0};
    const char16_t reversedPair[] = {0xDC00, 0xD800, 0};
    const TextView ordinary = u"\\\\srv1\\user1$ caf\u00E9 \u4E2D\u6587 \U0001F600";
    // The neighbours of every escaped range, which show as themselves.
    const TextView neighbours =
        u" ~\u00A0\u00AC\u00AE\u034E\u0350\u061B\u061D\u115E\u1161\u200A\u2027\u202F\u205F"
        u"\u3163\u3165\uFEFE\uFFFC\U0001D172\U0001D17B\U000E1000";
    const Case cases[] = {
        {ordinary, ordinary},
        {neighbours, neighbours},
        {u"", u""},
        {u"\\\\srv1\\\u202Egpj.exe", u"\\\\srv1\\<U+202E>gpj.exe"},
        {TextView(u"\0\x1F\x7F\u0080\u0085\u009F", 6),
         u"<U+0000><U+001F><U+007F><U+0080><U+0085><U+009F>"},
        {u"\r\n\u2028\u2029", u"<U+000D><U+000A><U+2028><U+2029>"},
        {u"\u061C\u200E\u200F\u202A\u202D\u2066\u2069",
         u"<U+061C><U+200E><U+200F><U+202A><U+202D><U+2066><U+2069>"},
        {u"\u200B\u200C\u200D\u2060\uFEFF", u"<U+200B><U+200C><U+200D><U+2060><U+FEFF>"},
        // Every default-ignorable and format character, those beyond U+FFFF included.
        {u"\u00AD\u034F\u115F\u180E\u2061\u2064\u2065\u206A\u206F",
         u"<U+00AD><U+034F><U+115F><U+180E><U+2061><U+2064><U+2065><U+206A><U+206F>"},
        {u"\u3164\uFE00\uFE0F\uFFA0\uFFF9\uFFFB\u0600\u070F",
         u"<U+3164><U+FE00><U+FE0F><U+FFA0><U+FFF9><U+FFFB><U+0600><U+070F>"},
        {u"a\U000E0001\U000E0020\U000E007F\U0001D173\U0001D17Ab",
         u"a<U+E0001><U+E0020><U+E007F><U+1D173><U+1D17A>b"},
        {loneHigh, u"a<U+D800>b"},
        {reversedPair, u"<U+DC00><U+D800>"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ShownText(c.text), c.shown) << Traced(c.text);
    }
}

TEST(ShownTextTest, CutsAt260CharactersAfterEscapingNeverInsideAnEscapeOrAPair) {
    const Text fits(260, u'a');
    const Text rtl = u"<U+202E>";
    struct Case {
        Text text;
        Text shown;
    };
    const Case cases[] = {
        {fits, fits},
        {fits + u"b", Text(259, u'a') + u"\u2026"},
        {Text(251, u'a') + u"\u202Eb", Text(251, u'a') + rtl + u"b"},
        {Text(251, u'a') + u"\u202Ebc", Text(251, u'a') + rtl + u"\u2026"},
        {Text(255, u'a') + u"\u202E", Text(255, u'a') + u"\u2026"},
        {Text(258, u'a') + u"\U0001F600", Text(258, u'a') + u"\U0001F600"},
        {Text(259, u'a') + u"\U0001F600", Text(259, u'a') + u"\u2026"},
        {Text(251, u'a') + u"\U000E0001", Text(251, u'a') + u"<U+E0001>"},
        {Text(252, u'a') + u"\U000E0001", Text(252, u'a') + u"\u2026"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ShownText(c.text), c.shown) << c.text.size();
    }

    Text flood;
    for (int i = 0; i < 32; ++i) {
        flood += rtl;
    }
    EXPECT_EQ(ShownText(Text(1 << 20, u'\u202E')), flood + u"\u2026");
}

TEST(ShownTextTest, ShowsWideTextAlike) {
    EXPECT_EQ(ShownText(std::wstring_view(L"\\\\srv1\\a\u202Eb\U0001F600\U000E0001")),
              L"\\\\srv1\\a<U+202E>b\U0001F600<U+E0001>");
    EXPECT_EQ(ShownText(std::wstring(300, L'x')), std::wstring(259, L'x') + L"\u2026");
}

}  // namespace
}  // namespace brisvane
