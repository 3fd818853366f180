#include "cli/options.h"

#include <gtest/gtest.h>

namespace melvane::cli {
namespace {

TEST(ParseArguments, TextModeWithStepsAndSpelling) {
    auto parsed = ParseArguments({"--text", "--steps", "-3", "--flats"});
    ASSERT_TRUE(parsed.ok) << parsed.error;
    EXPECT_EQ(parsed.options.mode, Mode::Text);
    EXPECT_EQ(parsed.options.steps, -3);
    EXPECT_EQ(parsed.options.spelling, 1);

    parsed = ParseArguments({"--steps=+12", "--text"});
    ASSERT_TRUE(parsed.ok) << parsed.error;
    EXPECT_EQ(parsed.options.steps, 12);
    EXPECT_EQ(parsed.options.spelling, kSpellByKey);
}

// By key is the sheet-aware default; the classic scan writes sharps and refuses it.
TEST(ParseArguments, SpellingByKeyAndToAKey) {
    const struct {
        std::vector<std::string> args;
        bool ok;
        int spelling;
        std::optional<Message> refusal;
    } cases[] = {
        {{"--steps", "2", "a.odt"}, true, kSpellByKey, {}},
        {{"--classic", "--steps", "2", "a.odt"}, true, kSpellSharps, {}},
        {{"--classic", "--flats", "--steps", "2", "a.odt"}, true, kSpellFlats, {}},
        {{"--classic", "--by-key", "--steps", "2", "a.odt"},
         false,
         0,
         Message::ByKeyNeedsSheetAware},
        {{"--to-key", "F#m", "--down", "a.odt"}, true, kSpellByKey, {}},
        {{"--to-key", "Hm", "--text"}, true, kSpellByKey, {}},
        {{"--to-key", "X", "a.odt"}, false, 0, Message::ToKeyUnknown},
        {{"--to-key", "G", "--steps", "2", "a.odt"}, false, 0, Message::ToKeyWithSteps},
        {{"--up", "--steps", "2", "a.odt"}, false, 0, Message::ToKeyWithSteps},
        {{"--key"}, false, 0, Message::KeyNeedsDocuments},
        {{"--key", "a.odt", "b.odt"}, true, kSpellByKey, {}},
        {{"--text", "--key"}, true, kSpellByKey, {}},
    };
    for (const auto& c : cases) {
        const ParsedArguments parsed = ParseArguments(c.args);
        EXPECT_EQ(parsed.ok, c.ok) << c.args.front() << " " << c.args[1];
        EXPECT_EQ(parsed.message, c.refusal) << c.args.front() << " " << c.args[1];
        if (c.ok) {
            EXPECT_EQ(parsed.options.spelling, c.spelling) << c.args.front();
        }
    }
}

TEST(ParseKeyName, EnglishAndGermanNames) {
    using chords::Mode;
    const struct {
        const char* name;
        bool germanB;
        std::optional<NamedKey> key;
    } cases[] = {
        {"Bb", false, NamedKey{10, {}}},
        {"B", false, NamedKey{11, {}}},
        {"B", true, NamedKey{10, {}}},
        {"H", false, NamedKey{11, {}}},
        {"F#m", false, NamedKey{6, Mode::Minor}},
        {"fis", false, NamedKey{6, Mode::Minor}},
        {"Es-Dur", false, NamedKey{3, Mode::Major}},
        {"as", false, NamedKey{8, Mode::Minor}},
        {"Des", false, NamedKey{1, {}}},
        {"a minor", false, NamedKey{9, Mode::Minor}},
        {"Cb", false, NamedKey{11, {}}},
        {"Hes", false, std::nullopt},
        {"X", false, std::nullopt},
        {"Gx", false, std::nullopt},
    };
    for (const auto& c : cases) {
        const auto key = ParseKeyName(c.name, c.germanB);
        ASSERT_EQ(key.has_value(), c.key.has_value()) << c.name;
        if (key) {
            EXPECT_EQ(key->tonic, c.key->tonic) << c.name;
            EXPECT_EQ(key->mode, c.key->mode) << c.name;
        }
    }
}

TEST(ParseArguments, RecognitionAndNoteNames) {
    auto parsed = ParseArguments({"--text", "--steps", "2"});
    ASSERT_TRUE(parsed.ok) << parsed.error;
    TransposeSettings settings = TransposeSettingsFor(parsed.options, Language::German);
    EXPECT_EQ(settings.recognition, Recognition::SheetAware);
    EXPECT_EQ(settings.naming, NoteNaming::Auto);
    EXPECT_TRUE(settings.germanReader);

    parsed = ParseArguments({"--classic", "--names", "english", "--steps", "2", "a.odt"});
    ASSERT_TRUE(parsed.ok) << parsed.error;
    settings = TransposeSettingsFor(parsed.options, Language::English);
    EXPECT_EQ(settings.recognition, Recognition::Classic);
    EXPECT_EQ(settings.naming, NoteNaming::English);
    EXPECT_FALSE(settings.germanReader);
    EXPECT_EQ(settings.steps, 2);

    parsed = ParseArguments({"--text", "--names=german", "--steps", "1"});
    ASSERT_TRUE(parsed.ok) << parsed.error;
    EXPECT_EQ(parsed.options.naming, NoteNaming::German);
}

TEST(ParseArguments, HelpAndVersionWinOverEverythingBeforeThem) {
    EXPECT_EQ(ParseArguments({"--text", "--help"}).options.mode, Mode::Help);
    EXPECT_EQ(ParseArguments({"--version"}).options.mode, Mode::Version);
    EXPECT_EQ(ParseArguments({"-h"}).options.mode, Mode::Help);
}

TEST(ParseArguments, RefusesBadInputWithOneLineNamingIt) {
    struct Case {
        std::vector<std::string> args;
        std::string mentions;
    };
    const Case cases[] = {
        {{"--text", "--steps", "13"}, "'13'"},
        {{"--text", "--steps", "-13"}, "'-13'"},
        {{"--text", "--steps", "2x"}, "'2x'"},
        {{"--text", "--steps", ""}, "''"},
        {{"--text", "--steps", "+"}, "'+'"},
        {{"--text", "--steps", "+-5"}, "'+-5'"},
        {{"--text", "--steps", "--5"}, "'--5'"},
        {{"--text", "--steps", "99999999999"}, "'9"},
        {{"--text", "--steps"}, "--steps"},
        {{"--text"}, "--steps"},
        {{"--steps", "2"}, "--text"},
        {{}, "--text"},
        {{"--text", "--steps", "1", "--bogus"}, "'--bogus'"},
        {{"--text", "--steps", "1", "song.txt"}, "'song.txt'"},
        {{"--text", "--steps", "1", "--names", "dutch"}, "'dutch'"},
        {{"--text", "--steps", "1", "--names"}, "--names"},
    };
    for (const Case& c : cases) {
        const auto parsed = ParseArguments(c.args);
        EXPECT_FALSE(parsed.ok);
        EXPECT_NE(parsed.error.find(c.mentions), std::string::npos) << parsed.error;
        EXPECT_EQ(parsed.error.find('\n'), std::string::npos);
    }
}

}  // namespace
}  // namespace melvane::cli

namespace melvane::cli {
namespace {

TEST(ParseArguments, DocumentsWithTheirOptions) {
    auto parsed = ParseArguments(
        {"--steps", "2", "--flats", "--lang", "de", "--open", "-o", "out.odt", "Lied.odt"});
    ASSERT_TRUE(parsed.ok) << parsed.error;
    EXPECT_EQ(parsed.options.mode, Mode::Documents);
    EXPECT_EQ(parsed.options.steps, 2);
    EXPECT_EQ(parsed.options.spelling, 1);
    EXPECT_EQ(parsed.options.language, Language::German);
    EXPECT_TRUE(parsed.options.openOutput);
    EXPECT_EQ(parsed.options.output, "out.odt");
    EXPECT_EQ(parsed.options.files, std::vector<std::string>{"Lied.odt"});

    parsed = ParseArguments({"a.odt", "--steps=-1", "--lang=en", "b.odt", "--", "-c.odt"});
    ASSERT_TRUE(parsed.ok) << parsed.error;
    EXPECT_EQ(parsed.options.files, (std::vector<std::string>{"a.odt", "b.odt", "-c.odt"}));
    EXPECT_EQ(parsed.options.language, Language::English);
    EXPECT_FALSE(parsed.options.output.has_value());
    EXPECT_FALSE(parsed.options.openOutput);

    parsed = ParseArguments({"--print", "a.odt", "b.odt"});
    ASSERT_TRUE(parsed.ok) << parsed.error;
    EXPECT_EQ(parsed.options.mode, Mode::Print);
    EXPECT_FALSE(ParseArguments({"a.odt", "--steps", "2"}).options.language.has_value());
}

TEST(ParseArguments, RefusesDocumentArgumentsThatDoNotFit) {
    struct Case {
        std::vector<std::string> args;
        std::string mentions;
    };
    const Case cases[] = {
        {{"a.odt"}, "--steps"},
        {{"--steps", "2", "-o", "x.odt", "a.odt", "b.odt"}, "exactly one"},
        {{"--steps", "2", "a.odt", "-o"}, "-o"},
        {{"--steps", "2", "a.odt", "--lang", "fr"}, "'fr'"},
        {{"--steps", "2", "a.odt", "--lang"}, "--lang"},
        {{"--print"}, "--print"},
        {{"--print", "a.odt", "--open"}, "--open"},
        {{"--text", "--steps", "2", "--open"}, "--text"},
        {{"--flats"}, "--text"},
    };
    for (const Case& c : cases) {
        const auto parsed = ParseArguments(c.args);
        EXPECT_FALSE(parsed.ok) << testing::PrintToString(c.args);
        EXPECT_NE(parsed.error.find(c.mentions), std::string::npos) << parsed.error;
        EXPECT_EQ(parsed.error.find('\n'), std::string::npos);
    }
}

TEST(LanguageFromLocale, GermanWhenTheDecidingVariableStartsWithDe) {
    struct Case {
        const char* lcAll;
        const char* lcMessages;
        const char* lang;
        Language expected;
    };
    const Case cases[] = {
        {nullptr, nullptr, "de_DE.UTF-8", Language::German},
        {nullptr, nullptr, "de_AT", Language::German},
        {"de_CH.UTF-8", nullptr, "en_US.UTF-8", Language::German},
        {"en_GB.UTF-8", nullptr, "de_DE.UTF-8", Language::English},
        {"", nullptr, "de_DE.UTF-8", Language::German},
        {nullptr, "C", "de_DE.UTF-8", Language::English},
        {nullptr, nullptr, "C.UTF-8", Language::English},
        {nullptr, nullptr, nullptr, Language::English},
        {nullptr, nullptr, "dk_DK", Language::English},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(LanguageFromLocale(c.lcAll, c.lcMessages, c.lang), c.expected)
            << (c.lcAll ? c.lcAll : "-") << " " << (c.lcMessages ? c.lcMessages : "-") << " "
            << (c.lang ? c.lang : "-");
    }
    // Only when nothing is set does the system's own language decide.
    EXPECT_EQ(LanguageFromLocale(nullptr, "", nullptr, Language::German), Language::German);
    EXPECT_EQ(LanguageFromLocale(nullptr, nullptr, "C", Language::German), Language::English);
}

}  // namespace
}  // namespace melvane::cli
