#include <plist/plist.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/posix/bundle_paths.h"
#include "platform/posix/file_io.h"
#include "platform/posix/posix_bundle.h"
#include "platform/posix/posix_files.h"
#include "platform/posix/posix_process_info.h"

namespace dralmik::posix {
namespace {

namespace fs = std::filesystem;

class TemporaryFolder {
public:
    TemporaryFolder() {
        char pattern[] = "/tmp/dralmik-posix-XXXXXX";
        path_ = mkdtemp(pattern);
    }
    ~TemporaryFolder() { fs::remove_all(path_); }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }
    const std::string& path() const { return path_; }

    std::vector<std::string> entries() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(path_)) names.push_back(entry.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    std::string path_;
};

void writeFile(const std::string& path, const std::string& contents) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << contents;
}

std::string xmlInfoPlist(const std::string& entries) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
           "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
           "<plist version=\"1.0\"><dict>" +
           entries + "</dict></plist>\n";
}

std::string binaryInfoPlist(const std::string& identifier) {
    plist_t dict = plist_new_dict();
    plist_dict_set_item(dict, "CFBundleName", plist_new_string("Gateway"));
    plist_dict_set_item(dict, "CFBundleIdentifier", plist_new_string(identifier.c_str()));
    char* data = nullptr;
    uint32_t length = 0;
    plist_to_bin(dict, &data, &length);
    std::string result(data, length);
    free(data);
    plist_free(dict);
    return result;
}

TEST(BundleTest, AnExecutableInContentsMacOSBelongsToItsBundle) {
    TemporaryFolder root;
    const std::string app = root / "Dralmik LLM Gateway.app";
    writeFile(app + "/Contents/Info.plist",
              xmlInfoPlist("<key>CFBundleName</key><string>Gateway</string>"
                           "<key>CFBundleIdentifier</key><string>com.dralmik.gateway.app</string>"));
    PosixBundle bundle(app + "/Contents/MacOS/Dralmik LLM Gateway");
    EXPECT_EQ(bundle.bundlePath(), app);
    EXPECT_EQ(bundle.resourcePath(), app + "/Contents/Resources");
    EXPECT_EQ(bundle.bundleIdentifier(), "com.dralmik.gateway.app");
    EXPECT_EQ(bundle.executablePath(), app + "/Contents/MacOS/Dralmik LLM Gateway");
}

TEST(BundleTest, IdentifierIsReadFromBinaryPropertyListsToo) {
    TemporaryFolder root;
    writeFile(root / "B.app/Contents/Info.plist", binaryInfoPlist("com.example.binary"));
    EXPECT_EQ(PosixBundle(root / "B.app/Contents/MacOS/prog").bundleIdentifier(), "com.example.binary");
    writeFile(root / "C.app/Contents/Info.plist", binaryInfoPlist("com.Example-2.x9"));
    EXPECT_EQ(PosixBundle(root / "C.app/Contents/MacOS/prog").bundleIdentifier(), "com.Example-2.x9");
}

TEST(BundleTest, NoIdentifierWithoutAUsableInfoPlist) {
    TemporaryFolder root;
    struct Case {
        const char* name;
        std::optional<std::string> contents;
    };
    const Case cases[] = {
        {"missing", std::nullopt},
        {"empty", ""},
        {"garbage", "this is not a property list"},
        {"truncated", xmlInfoPlist("<key>CFBundleIdentifier</key><string>x</string>").substr(0, 150)},
        {"no-key", xmlInfoPlist("<key>CFBundleName</key><string>Gateway</string>")},
        {"not-a-string", xmlInfoPlist("<key>CFBundleIdentifier</key><integer>7</integer>")},
        {"not-a-dict", "<?xml version=\"1.0\"?><plist version=\"1.0\"><array><string>a</string></array></plist>"},
        // Not reverse-DNS names: they would lead out of the folders named after the identifier.
        {"escaping", xmlInfoPlist("<key>CFBundleIdentifier</key><string>../../escaped</string>")},
        {"slash", xmlInfoPlist("<key>CFBundleIdentifier</key><string>com.example/app</string>")},
        {"empty-id", xmlInfoPlist("<key>CFBundleIdentifier</key><string></string>")},
        {"empty-part", xmlInfoPlist("<key>CFBundleIdentifier</key><string>com..app</string>")},
        {"leading-dot", xmlInfoPlist("<key>CFBundleIdentifier</key><string>.com.app</string>")},
        {"trailing-dot", xmlInfoPlist("<key>CFBundleIdentifier</key><string>com.app.</string>")},
        {"space", xmlInfoPlist("<key>CFBundleIdentifier</key><string>com.my app</string>")},
        {"non-ascii", xmlInfoPlist("<key>CFBundleIdentifier</key><string>com.caf\xC3\xA9</string>")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string app = root / (std::string(c.name) + ".app");
        if (c.contents) writeFile(app + "/Contents/Info.plist", *c.contents);
        PosixBundle bundle(app + "/Contents/MacOS/prog");
        EXPECT_EQ(bundle.bundleIdentifier(), std::nullopt);
        EXPECT_EQ(bundle.resourcePath(), app + "/Contents/Resources");
    }
    // An Info.plist that is a folder cannot be read either.
    fs::create_directories(root / "dir.app/Contents/Info.plist");
    EXPECT_EQ(PosixBundle(root / "dir.app/Contents/MacOS/prog").bundleIdentifier(), std::nullopt);
}

TEST(BundleTest, AnExecutableElsewhereStandsAloneWithoutIdentifier) {
    TemporaryFolder root;
    // An Info.plist beside a free-standing program does not make it a bundle.
    writeFile(root / "bin/Info.plist", xmlInfoPlist("<key>CFBundleIdentifier</key><string>x.y</string>"));
    PosixBundle loose(root / "bin/dralmik");
    EXPECT_EQ(loose.bundlePath(), root / "bin");
    EXPECT_EQ(loose.resourcePath(), root / "bin");
    EXPECT_EQ(loose.bundleIdentifier(), std::nullopt);

    // Only an executable directly inside Contents/MacOS belongs to the bundle.
    writeFile(root / "N.app/Contents/Info.plist", xmlInfoPlist("<key>CFBundleIdentifier</key><string>n</string>"));
    EXPECT_EQ(PosixBundle(root / "N.app/Contents/MacOS/tools/prog").bundleIdentifier(), std::nullopt);

    // Without a known executable the current folder stands in, and the path stays unknown.
    PosixBundle unknown(std::nullopt);
    EXPECT_EQ(unknown.executablePath(), std::nullopt);
    EXPECT_FALSE(unknown.resourcePath().empty());
}

TEST(BundleTest, RunningProgramIsFoundThroughProc) {
    PosixBundle bundle = PosixBundle::forRunningProgram();
    ASSERT_TRUE(bundle.executablePath().has_value());
    EXPECT_EQ(fs::path(*bundle.executablePath()), fs::canonical("/proc/self/exe"));
    EXPECT_EQ(fs::path(bundle.bundlePath()), fs::canonical("/proc/self/exe").parent_path());
}

TEST(ProcessInfoTest, ArgumentsAndEnvironmentAsTheProcessHasThem) {
    const char* argv[] = {"/opt/app/Dralmik", "--background", "", nullptr};
    PosixProcessInfo info(3, argv);
    EXPECT_EQ(info.arguments(), (std::vector<std::string>{"/opt/app/Dralmik", "--background", ""}));
    const double before = info.systemUptime();
    EXPECT_GE(info.systemUptime(), before);

    ASSERT_EQ(setenv("DRALMIK_TEST_EMPTY", "", 1), 0);
    ASSERT_EQ(setenv("DRALMIK_TEST_VALUE", "a=b c", 1), 0);
    auto env = info.environment();
    EXPECT_EQ(env.count("DRALMIK_TEST_EMPTY"), 1u);
    EXPECT_EQ(env["DRALMIK_TEST_EMPTY"], "");
    EXPECT_EQ(env["DRALMIK_TEST_VALUE"], "a=b c");  // split at the first "=" only
    unsetenv("DRALMIK_TEST_EMPTY");
    EXPECT_EQ(info.environment().count("DRALMIK_TEST_EMPTY"), 0u);
    // What the process set for itself alone is not handed on.
    info.setOwnVariables({"DRALMIK_TEST_VALUE"});
    EXPECT_EQ(info.environment().count("DRALMIK_TEST_VALUE"), 0u);
    EXPECT_EQ(info.environment().count("PATH"), 1u);
    unsetenv("DRALMIK_TEST_VALUE");

    EXPECT_EQ(info.homeDirectory(), userHomeDirectory());
}

class FilesTest : public ::testing::Test {
protected:
    TemporaryFolder folder;
    PosixFiles files;
};

TEST_F(FilesTest, AtomicWriteReplacesTheWholeFileAndLeavesNoTemporary) {
    const std::string path = folder / "agent.plist";
    ASSERT_TRUE(files.writeFileAtomically(path, std::string(100000, 'x')));
    ASSERT_TRUE(files.writeFileAtomically(path, std::string("short\0binary", 12)));
    EXPECT_EQ(files.readTextFile(path), std::string("short\0binary", 12));
    ASSERT_TRUE(files.writeFileAtomically(path, ""));
    EXPECT_EQ(files.readTextFile(path), "");
    // Without waiting for the disk, the file is still swapped in whole.
    ASSERT_TRUE(writeFileAtomically(path, "icon", Durability::Replaceable));
    EXPECT_EQ(files.readTextFile(path), "icon");
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"agent.plist"});
}

TEST_F(FilesTest, AtomicWriteFailsCleanlyWhereItCannotWrite) {
    EXPECT_FALSE(files.writeFileAtomically(folder / "missing/agent.plist", "x"));
    EXPECT_FALSE(fs::exists(folder / "missing"));

    // A folder in the way: the rename fails and the temporary file goes.
    fs::create_directories(folder / "taken");
    writeFile(folder / "taken/inside", "keep");
    EXPECT_FALSE(files.writeFileAtomically(folder / "taken", "x"));
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"taken"});
    EXPECT_FALSE(files.writeFileAtomically("", "x"));
    EXPECT_FALSE(files.writeFileAtomically(folder / "trailing/", "x"));
}

TEST_F(FilesTest, AtomicWriteGivesNewFilesTheUmaskAndKeepsExistingPermissions) {
    mode_t previous = umask(027);
    const std::string fresh = folder / "fresh";
    ASSERT_TRUE(files.writeFileAtomically(fresh, "a"));
    umask(previous);
    struct stat info{};
    ASSERT_EQ(stat(fresh.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);

    const std::string script = folder / "script";
    writeFile(script, "old");
    chmod(script.c_str(), 0751);
    ASSERT_TRUE(files.writeFileAtomically(script, "new"));
    ASSERT_EQ(stat(script.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0751u);
    EXPECT_EQ(files.readTextFile(script), "new");
}

TEST_F(FilesTest, ReadTextFileHasNoValueForWhatItCannotRead) {
    EXPECT_EQ(files.readTextFile(folder / "missing"), std::nullopt);
    EXPECT_EQ(files.readTextFile(folder.path()), std::nullopt);
    writeFile(folder / "empty", "");
    EXPECT_EQ(files.readTextFile(folder / "empty"), "");
    if (geteuid() != 0) {  // root reads anything
        writeFile(folder / "secret", "s");
        chmod((folder / "secret").c_str(), 0);
        EXPECT_EQ(files.readTextFile(folder / "secret"), std::nullopt);
    }
}

TEST_F(FilesTest, CreateDirectoriesWorksLikeMkdirPAndRemoveFileOnlyRemovesFiles) {
    EXPECT_TRUE(files.createDirectories(folder / "a/b/c"));
    EXPECT_TRUE(fs::is_directory(folder / "a/b/c"));
    EXPECT_TRUE(files.createDirectories(folder / "a/b/c"));  // already there
    EXPECT_TRUE(files.createDirectories(folder / "a/b/"));
    writeFile(folder / "file", "x");
    EXPECT_FALSE(files.createDirectories(folder / "file"));
    EXPECT_FALSE(files.createDirectories(folder / "file/sub"));
    EXPECT_FALSE(files.createDirectories(""));

    EXPECT_TRUE(files.removeFile(folder / "file"));
    EXPECT_FALSE(files.removeFile(folder / "file"));  // nothing left to remove
    EXPECT_FALSE(files.removeFile(folder / "a"));     // folders are not files
    EXPECT_TRUE(fs::is_directory(folder / "a"));
}

}  // namespace
}  // namespace dralmik::posix
