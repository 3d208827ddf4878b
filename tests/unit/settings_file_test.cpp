// The Linux settings file: what each kind of line gives, the command line over it,
// and a write that keeps the user's lines and, when it fails, the old file.
#include <gtest/gtest.h>

#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/settings_file.h"

namespace {

struct Folder {
    std::string path;
    Folder() {
        char name[] = "/tmp/pendral-settings-XXXXXX";
        path = mkdtemp(name);
    }
    ~Folder() { std::filesystem::remove_all(path); }
};

void Put(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

std::string Slurp(const std::string& path) {
    std::ostringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
}

// A setting by its file name, or "watch", as text.
std::string Value(const SaverOptions& options, const std::string& name) {
    if (name == "watch") return options.watch ? "true" : "false";
    for (std::size_t k = 0; SettingName(k); ++k)
        if (name == SettingName(k)) return SettingValue(k, options);
    return "?";
}

struct LoadCase {
    const char* what;
    const char* text;  // null: no file
    std::size_t size;  // of text, for one holding a NUL byte; 0: up to its end
    std::vector<const char*> args;
    std::vector<std::string> expected;  // "name=value"
    std::vector<const char*> warnings;  // a part of each line written, in order
};

TEST(SettingsFile, LinesBoundsAndTheCommandLineOverThem) {
    const std::string longLine = "sprites = /" + std::string(SETTINGS_LINE_MAX, 'x');
    const std::string huge = "count = 7\n" + std::string(SETTINGS_FILE_MAX_BYTES, '\n') + "blue = true\n";
    const LoadCase cases[] = {
        {"good lines", "\xEF\xBB\xBF  count=5\t\n# red = true\nred = true   # heavy\n\r\nattraction = -40\r\nsprites = /p/a#b\n"
         "fps = false\nblue = true",
         0, {}, {"count=5", "red=true", "attraction=-40", "sprites=/p/a#b", "fps=false", "blue=true", "idle=240"}, {}},
        {"bad lines", "bogus = 1\ncount = 101\nrefresh = x\nblue\nfps = yes\ncount = 4\nidle =\nwayland = true\n", 0, {},
         {"count=4", "refresh=5", "blue=false", "fps=false", "idle=240"},
         {"conf:1: ignored (unknown setting bogus): bogus = 1", ":2: ignored (count takes a whole number from 3 to 100)",
          ":3: ignored (refresh takes", ":4: ignored (not name = value): blue", ":5: ignored (fps takes true or false)",
          ":7: ignored (idle takes", ":8: ignored (unknown setting wayland)"}},
        {"a control character shown, not sent", "\x1b[2Jcount = 3\n", 0, {}, {"count=51"}, {": \\x1B[2Jcount = 3"}},
        {"too long", longLine.c_str(), 0, {}, {"sprites="}, {":1: ignored (longer than 4096 characters): sprites = /xxx"}},
        {"binary", "count = 7\nred = true\0\x01\x02\nblue = true\n", 26, {}, {"count=7", "red=false", "blue=false"},
         {":2: a NUL byte, not text: the file is read no further"}},
        {"absurd size", huge.c_str(), 0, {}, {"count=7", "blue=false"}, {"conf: longer than 65536 bytes: read no further"}},
        {"the command line over it", "count = 5\nidle = 60\nred = true\nsprites = /p\n", 0,
         {"-wayland", "-count", "9", "-no-red", "-sprites", "/q"},
         {"count=9", "red=false", "idle=60", "watch=false", "sprites=/q"}, {}},
        {"-idle over the file's", "idle = 60\n", 0, {"-wayland", "-idle", "30"}, {"idle=30", "watch=true"}, {}},
        {"-watch with the file's", "idle = 60\n", 0, {"-wayland", "-watch"}, {"idle=60", "watch=true"}, {}},
        {"a missing file", nullptr, 0, {"-wayland", "-watch"}, {"count=51", "idle=240", "sprites="}, {}},
    };
    for (const LoadCase& c : cases) {
        SCOPED_TRACE(c.what);
        Folder folder;
        const std::string path = folder.path + "/pendral.conf";
        if (c.text) Put(path, std::string(c.text, c.size ? c.size : std::strlen(c.text)));
        std::vector<const char*> argv{"pendral"};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        std::FILE* warnings = std::tmpfile();
        SettingsFile settings;
        LoadSettings({path, static_cast<int>(argv.size()), argv.data()}, &settings, warnings);
        const SettingsFile copy = settings;  // a copy keeps its folder
        for (const std::string& pair : c.expected) {
            const std::size_t equals = pair.find('=');
            EXPECT_EQ(Value(copy.options, pair.substr(0, equals)), pair.substr(equals + 1)) << pair;
        }
        std::rewind(warnings);
        std::vector<std::string> lines;
        for (char line[300]; std::fgets(line, sizeof line, warnings);) lines.emplace_back(line);
        std::fclose(warnings);
        ASSERT_EQ(lines.size(), c.warnings.size());
        for (std::size_t k = 0; k < lines.size(); ++k) EXPECT_NE(lines[k].find(c.warnings[k]), std::string::npos) << lines[k];
    }
    // A folder where the file should be cannot be read, and says so.
    Folder folder;
    std::FILE* warnings = std::tmpfile();
    SettingsFile settings;
    EXPECT_FALSE(LoadSettingsFile(folder.path, &settings, warnings));
    EXPECT_GT(std::ftell(warnings), 0);
    std::fclose(warnings);
}

struct SaveCase {
    const char* what;
    const char* old;     // the file there before; null: none
    std::size_t oldSize;  // of old, for one holding a NUL byte; 0: up to its end
    const char* folder;  // the settings' folder in the test's folder ("a/b": made on the way)
    const char* sprites;
    bool fullDisk;
    const char* expected;  // the file written; null: it fails, leaving `old`
    const char* error;
};

TEST(SettingsFile, WritesKeepTheUsersLinesOrNothing) {
    const SaveCase cases[] = {
        {"comments, unknown lines and order kept", "# mine\ncount = 5   # few\nbogus = 1\n\nred=true\r\ncount=6", 0, ".", "/p",
         false,
         "# mine\ncount = 9   # few\nbogus = 1\n\nred=false\r\ncount=9\nattraction = 10\nrefresh = 5\ndelay = 20000\n"
         "idle = 240\nfps = false\nblue = true\nsprites = /p\n",
         nullptr},
        {"a new file in new folders", nullptr, 0, "new/pendral", "", false,
         "count = 9\nattraction = 10\nrefresh = 5\ndelay = 20000\nidle = 240\nfps = false\nred = false\nblue = true\n",
         nullptr},
        {"a folder's name that would read back otherwise", "count = 5\n", 0, ".", "/p #1", false, nullptr, "cannot hold"},
        {"under a file", nullptr, 0, "file/pendral", "", false, nullptr, "cannot make the folder"},
        {"not text", "count = 5\n\0", 11, ".", "", false, nullptr, "holds a NUL byte"},
        {"a full disk", "count = 5\n", 0, ".", "", true, nullptr, "cannot write"},
    };
    for (const SaveCase& c : cases) {
        SCOPED_TRACE(c.what);
        Folder folder;
        Put(folder.path + "/file", "");
        const std::string path = folder.path + "/" + c.folder + "/pendral.conf";
        const std::string old = c.old ? std::string(c.old, c.oldSize ? c.oldSize : std::strlen(c.old)) : "";
        if (c.old) {
            Put(path, old);
            chmod(path.c_str(), 0600);
        }
        SettingsFile settings;
        settings.options.bodyCount = 9;
        settings.options.blue = true;
        settings.spritesFolder = c.sprites;
        std::string error;
        rlimit before{};
        getrlimit(RLIMIT_FSIZE, &before);
        if (c.fullDisk) {
            signal(SIGXFSZ, SIG_IGN);  // a write past the limit fails with EFBIG instead
            rlimit small = before;
            small.rlim_cur = 16;
            setrlimit(RLIMIT_FSIZE, &small);
        }
        const bool saved = SaveSettingsFile(path, settings, &error);
        setrlimit(RLIMIT_FSIZE, &before);
        EXPECT_EQ(saved, c.expected != nullptr) << error;
        if (c.expected) {
            EXPECT_EQ(Slurp(path), c.expected);
            struct stat st {};
            stat(path.c_str(), &st);
            EXPECT_EQ(st.st_mode & 0777, c.old ? 0600u : 0644u);
            SettingsFile back;
            std::FILE* warnings = std::tmpfile();
            EXPECT_TRUE(LoadSettingsFile(path, &back, warnings));
            std::fclose(warnings);
            EXPECT_EQ(back.options.bodyCount, 9);
            EXPECT_STREQ(back.options.spritesFolder ? back.options.spritesFolder : "", c.sprites);
        } else {
            EXPECT_NE(error.find(c.error), std::string::npos) << error;
            if (c.old) {
                EXPECT_EQ(Slurp(path), old);
            }
        }
        // Nothing is left beside it: no temporary file.
        const std::filesystem::path beside = std::filesystem::path(path).parent_path();
        std::size_t files = 0;
        if (std::filesystem::is_directory(beside))
            for (const auto& entry : std::filesystem::directory_iterator(beside)) files += entry.path().filename() != "file";
        EXPECT_EQ(files, c.old || c.expected ? 1u : 0u);
    }
}

}  // namespace
