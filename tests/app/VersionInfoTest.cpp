#include "app/VersionInfo.h"

#include <gtest/gtest.h>

#include <string>

using ZEV::CVersionInfo;

namespace {

std::string ModuleDir() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string dir(path);
    return dir.substr(0, dir.find_last_of('\\') + 1);
}

std::string Fixture(const char* name) {
    return ModuleDir() + "verinfo_" + name + ".dll";
}

std::string OwnPath() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    return path;
}

}  // namespace

TEST(VersionInfoTest, PreReleaseMarkComesBeforeDebugMark) {
    CVersionInfo info;
    ASSERT_TRUE(info.Load(Fixture("marks").c_str()));
    EXPECT_EQ("1, 2, 3, 4 [PreRelease版] ≪Debug版≫", info.GetFileVersionText(0x0411));
    EXPECT_EQ(std::string("1, 2, 3, 4 [PreRelease\x94\xC5] \x81\xE1" "Debug\x94\xC5\x81\xE2"),
              info.GetFileVersionText());
    EXPECT_EQ("試験版 Version 1, 2, 3, 4 [PreRelease版] ≪Debug版≫\n\n(C) 試験 試験所",
              info.GetAboutText("Version"));
}

TEST(VersionInfoTest, SpecialAndPrivateBuildTextsPrecedeTheOtherMarks) {
    CVersionInfo info;
    ASSERT_TRUE(info.Load(Fixture("special").c_str()));
    EXPECT_EQ("2, 0, 0, 7 顧客向け A kaz [PreRelease版] ≪Debug版≫", info.GetFileVersionText());
}

TEST(VersionInfoTest, FlagsOutsideTheMaskGiveNoMarks) {
    CVersionInfo info;
    ASSERT_TRUE(info.Load(Fixture("masked").c_str()));
    EXPECT_EQ("3, 1, 0, 0 shown", info.GetFileVersionText());
}

TEST(VersionInfoTest, LanguageSelectsItsTableAndZeroTakesTheFirstThatAnswers) {
    CVersionInfo info;
    ASSERT_TRUE(info.Load(Fixture("languages").c_str()));
    EXPECT_EQ(3u, info.GetTranslationCount());
    // German is listed first but has no table: the search goes on to English.
    EXPECT_EQ("English side", info.GetString("FileDescription"));
    EXPECT_EQ("日本語側", info.GetString("FileDescription", 0x0411));
    EXPECT_EQ("4, 0, en", info.GetString("FileVersion", 0x0409));
    EXPECT_EQ("", info.GetString("FileDescription", 0x0407));
    EXPECT_EQ("", info.GetString("FileDescription", 0x040C));
    EXPECT_EQ("", info.GetString("NoSuchValue", 0x0411));
    EXPECT_EQ("", info.GetString("Comments", 0x0411));
}

TEST(VersionInfoTest, FileWithoutVersionResourceGivesEmptyTexts) {
    CVersionInfo info;
    EXPECT_FALSE(info.Load(Fixture("none").c_str()));
    EXPECT_EQ(nullptr, info.GetFixedInfo());
    EXPECT_EQ("", info.GetAboutText("\nVersion"));
    EXPECT_EQ("", info.GetString("FileVersion"));
    EXPECT_EQ("", info.GetFileVersionText());

    EXPECT_FALSE(info.Load((ModuleDir() + "no-such-file.dll").c_str()));
    EXPECT_EQ("", info.GetAboutText("\nVersion"));
}

TEST(VersionInfoTest, FailedLoadForgetsThePreviousFile) {
    CVersionInfo info;
    ASSERT_TRUE(info.Load(Fixture("special").c_str()));
    EXPECT_FALSE(info.Load(Fixture("none").c_str()));
    EXPECT_EQ(nullptr, info.GetFixedInfo());
    EXPECT_EQ(0u, info.GetTranslationCount());
    EXPECT_EQ("", info.GetPath());
    EXPECT_EQ("", info.GetString("FileVersion"));
}

TEST(VersionInfoTest, ProgramVersionBlockGivesTheFourAboutLines) {
    CVersionInfo info;
    ASSERT_TRUE(info.Load(OwnPath().c_str()));
    const VS_FIXEDFILEINFO* fixed = info.GetFixedInfo();
    ASSERT_NE(nullptr, fixed);
    EXPECT_EQ(0x00000013u, fixed->dwFileVersionMS);
    EXPECT_EQ(0x04040000u, fixed->dwFileVersionLS);
    EXPECT_EQ(0x3Fu, fixed->dwFileFlagsMask);
    EXPECT_EQ(0u, fixed->dwFileFlags);
    EXPECT_EQ(static_cast<DWORD>(VOS__WINDOWS32), fixed->dwFileOS);

    EXPECT_EQ("簡易 Taplinar \nVersion 0, 19, 1028, 0\n\n"
              "Copyright (C) 2026 Taplinar developers Taplinar project",
              info.GetAboutText("\nVersion", 0));
    EXPECT_EQ(info.GetAboutText("\nVersion", 0), info.GetAboutText("\nVersion", 0x0411));
    // A language without a table leaves every field empty but keeps the frame.
    EXPECT_EQ(" \nVersion \n\n ", info.GetAboutText("\nVersion", 0x0409));
}

namespace {

// A reader that marks builds its own way.
class CTaggedVersionInfo : public CVersionInfo {
protected:
    void AppendBuildMarks(std::string& strText, DWORD dwFlags, WORD) const override {
        strText += dwFlags ? " <flags>" : " <none>";
    }
};

}  // namespace

TEST(VersionInfoTest, DerivedReaderMarksBuildsItsOwnWay) {
    CTaggedVersionInfo tagged;
    ASSERT_TRUE(tagged.Load(Fixture("marks").c_str()));
    EXPECT_EQ("1, 2, 3, 4 <flags>", tagged.GetFileVersionText());
    ASSERT_TRUE(tagged.Load(OwnPath().c_str()));
    EXPECT_EQ("0, 19, 1028, 0 <none>", tagged.GetFileVersionText());
}
