// The INI settings store: names without regard to case, values that come back
// exactly, and a file that is only ever replaced whole.
#include <gtest/gtest.h>

#include <filesystem>

#include "fakes/fake_file_system.h"
#include "native_platform.h"
#include "platform/linux/ini_document.h"
#include "platform/linux/ini_settings_store.h"
#include "platform/linux/posix_file_system.h"
#include "shell/settings_keys.h"

namespace tolvane {
namespace {

using namespace settings_keys;

const std::string kApp = "Tolvane 2.1";

TEST(IniDocument, SectionAndKeyNamesMatchWithoutRegardToCaseAndKeepTheFirstSpelling) {
    IniDocument ini;
    ini.Set("options", "c2", "1");
    ini.Set("Options", "Service", "0");
    ini.Set("OPTIONS", "C2", "0");
    EXPECT_EQ(ini.Get("Options", "c2"), "0");
    EXPECT_EQ(ini.Get("options", "SERVICE"), "0");
    EXPECT_EQ(ini.Text(), "[options]\nc2=0\nService=0\n");
}

TEST(IniDocument, MissingSectionOrKeyGivesNothing) {
    const IniDocument ini("[Runit]\nRunMinimized=True\n");
    EXPECT_EQ(ini.Get("Runit", "ShowRebootScheduleM"), std::nullopt);
    EXPECT_EQ(ini.Get("Location", "RunMinimized"), std::nullopt);
    EXPECT_EQ(ini.Get("runit", "runminimized"), "True");
}

TEST(IniDocument, AnyValueRoundTripsThroughTheText) {
    const std::string values[] = {
        "",
        "plain",
        "C:\\Program Files\\Tolvane",
        " leading and trailing blanks ",
        "\ttab",
        "line one\r\nline two\n",
        "a=b=c",
        "[Not a section]",
        "; not a comment",
        "# nor this",
        "a,b",
        "\\n is not a line break",
        "\\x41 stays as typed",
        std::string("nul\0inside", 10),
        "\x7f\x01\x1f",
        "caf\xc3\xa9 \xe2\x82\xac",
        "trailing backslash\\",
    };
    for (const std::string& value : values) {
        IniDocument written;
        written.Set("Location", "Path", value);
        written.Set("Location", "Next", "after");
        const IniDocument read(written.Text());
        EXPECT_EQ(read.Get("Location", "Path"), value) << written.Text();
        EXPECT_EQ(read.Get("Location", "Next"), "after") << written.Text();
    }
}

TEST(IniDocument, AnyNameRoundTripsThroughTheText) {
    for (const std::string name : {"a=b", "[x]", ";c", "#d", " blank ", "line\nbreak"}) {
        IniDocument written;
        written.Set(name, name, "v");
        EXPECT_EQ(IniDocument(written.Text()).Get(name, name), "v") << written.Text();
    }
}

TEST(IniDocument, ARewriteKeepsWhatTheProgramDoesNotKnow) {
    const std::string text =
        "; written by hand\r\n"
        "[Runit]\r\n"
        "  RunMinimized = False  \r\n"
        "Unknown=kept\r\n"
        "\r\n"
        "[Other]\r\n"
        "x=1\r\n";
    IniDocument ini(text);
    EXPECT_EQ(ini.Get("Runit", "RunMinimized"), "False");
    ini.Set("Runit", "RunMinimized", "True");
    ini.Set("Runit", "ShowRebootScheduleM", "False");
    EXPECT_EQ(ini.Text(),
              "; written by hand\n"
              "[Runit]\n"
              "RunMinimized=True\n"
              "Unknown=kept\n"
              "ShowRebootScheduleM=False\n"
              "\n"
              "[Other]\n"
              "x=1\n");
}

TEST(IniDocument, ASectionWrittenTwiceByHandIsStillOneSection) {
    IniDocument ini("[options]\nc2=1\n[other]\n[OPTIONS]\nService=1\n");
    EXPECT_EQ(ini.Get("Options", "Service"), "1");
    ini.Set("Options", "Service", "0");
    ini.Set("Options", "New", "n");
    EXPECT_EQ(ini.Text(), "[options]\nc2=1\nNew=n\n[other]\n[OPTIONS]\nService=0\n");
}

class IniSettingsStoreOnDisk : public ::testing::Test {
  protected:
    ~IniSettingsStoreOnDisk() override {
        std::error_code ignored;
        std::filesystem::remove_all(root, ignored);
    }
    std::string root = testing::MakeScratchFolder();
    std::string folder = root + "/config/tolvane";
    PosixFileSystem files{root};
    std::vector<std::string> reports;
    IniSettingsStore store{folder, files, [this](const std::string& r) { reports.push_back(r); }};
};

TEST_F(IniSettingsStoreOnDisk, TheFirstSaveMakesTheFolderAndTheFileNamedAfterTheApplication) {
    files.CreateOnFirstWrite(folder);
    EXPECT_EQ(store.GetSetting(kApp, kRunMinimized.section, kRunMinimized.key, "False"), "False");
    store.SaveSetting(kApp, kRunMinimized.section, kRunMinimized.key, "True");
    EXPECT_EQ(store.FilePath(kApp), folder + "/Tolvane 2.1.ini");
    EXPECT_EQ(files.ReadWholeFile(folder + "/Tolvane 2.1.ini"), "[Runit]\nRunMinimized=True\n");
    EXPECT_EQ(store.GetSetting(kApp, "RUNIT", "runminimized", "False"), "True");
    EXPECT_EQ(std::filesystem::status(folder).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_all);
    EXPECT_TRUE(reports.empty());
}

TEST_F(IniSettingsStoreOnDisk, EverySaveReplacesTheFileWholeAndLeavesNoTemporaryFile) {
    files.CreateOnFirstWrite(folder);
    store.SaveSetting(kApp, kForceNow.section, kForceNow.key, "1");
    store.SaveSetting(kApp, kProgramFolder.section, kProgramFolder.key, "/usr/lib/tolvane");
    store.SaveSetting(kApp, "Options", "C2", "0");
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    EXPECT_EQ(names, std::vector<std::string>{"Tolvane 2.1.ini"});
    EXPECT_EQ(store.GetSetting(kApp, "OPTIONS", "c2", "?"), "0");
    EXPECT_EQ(store.GetSetting(kApp, "location", "path", "?"), "/usr/lib/tolvane");
}

TEST_F(IniSettingsStoreOnDisk, AFailedWriteIsReportedWithTheSystemsReason) {
    // The folder is missing and not one to be made on demand, so the write fails.
    store.SaveSetting(kApp, kForceNow.section, kForceNow.key, "1");
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_NE(reports[0].find("options/c2"), std::string::npos) << reports[0];
    EXPECT_NE(reports[0].find("No such file or directory"), std::string::npos) << reports[0];
    EXPECT_FALSE(std::filesystem::exists(folder));
}

TEST(IniSettingsStore, AFailedReplaceKeepsTheOldFileIntact) {
    testing::FakeFileSystem files;
    const std::string path = "C:\\cfg\\Tolvane 2.1.ini";
    files.files[path] = "[options]\nc2=1\n";
    std::vector<std::string> reports;
    IniSettingsStore store("C:\\cfg", files, [&](const std::string& r) { reports.push_back(r); });
    for (bool failTemporary : {true, false}) {
        files.failTemporaryWrite = failTemporary;
        files.failMoveOver = !failTemporary;
        store.SaveSetting(kApp, kForceNow.section, kForceNow.key, "0");
        EXPECT_EQ(files.files[path], "[options]\nc2=1\n");
        EXPECT_EQ(files.files.size(), 1u) << "no temporary file is left behind";
    }
    EXPECT_EQ(reports.size(), 2u);
}

TEST(IniSettingsStore, AValueSavedAgainUnchangedLeavesTheFileUnwritten) {
    testing::FakeFileSystem files;
    const std::string path = "C:\\cfg\\Tolvane 2.1.ini";
    files.files[path] = "[Location]\nPath=/usr/lib/tolvane\n";
    IniSettingsStore store("C:\\cfg", files, {});
    store.SaveSetting(kApp, kProgramFolder.section, kProgramFolder.key, "/usr/lib/tolvane");
    EXPECT_EQ(files.temporaryFilesCreated, 0);
    EXPECT_EQ(files.files[path], "[Location]\nPath=/usr/lib/tolvane\n");
    store.SaveSetting(kApp, kProgramFolder.section, kProgramFolder.key, "/opt/tolvane");
    EXPECT_EQ(files.temporaryFilesCreated, 1);
    EXPECT_EQ(files.files[path], "[Location]\nPath=/opt/tolvane\n");
}

}  // namespace
}  // namespace tolvane
