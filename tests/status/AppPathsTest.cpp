#include "status/AppPaths.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <optional>
#include <string>

namespace pw {
namespace {

namespace fs = std::filesystem;

class AppPathsTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (const char* value = std::getenv("PAGEWRIGHT_STATE_DIR")) savedEnv_ = value;
        if (const char* value = std::getenv("XDG_STATE_HOME")) savedXdg_ = value;
        std::string pattern = (fs::temp_directory_path() / "pagewright-app-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
    }
    void TearDown() override {
        if (savedEnv_)
            setenv("PAGEWRIGHT_STATE_DIR", savedEnv_->c_str(), 1);
        else
            unsetenv("PAGEWRIGHT_STATE_DIR");
        if (savedXdg_)
            setenv("XDG_STATE_HOME", savedXdg_->c_str(), 1);
        else
            unsetenv("XDG_STATE_HOME");
        ResetAppDirectory();
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }

    fs::path folder_;
    std::optional<std::string> savedEnv_;
    std::optional<std::string> savedXdg_;
};

TEST_F(AppPathsTest, EnvironmentFolderIsUsedAndCreated) {
    const fs::path wanted = folder_ / "state" / "deeper";
    setenv("PAGEWRIGHT_STATE_DIR", wanted.c_str(), 1);
    ResetAppDirectory();
    EXPECT_EQ(AppDirectory(), wanted);
    EXPECT_TRUE(fs::is_directory(wanted));
}

TEST_F(AppPathsTest, SetterWinsOverTheEnvironmentAndIsNotCreated) {
    setenv("PAGEWRIGHT_STATE_DIR", (folder_ / "env").c_str(), 1);
    ResetAppDirectory();
    SetAppDirectory(folder_ / "given");
    EXPECT_EQ(AppDirectory(), folder_ / "given");
    EXPECT_FALSE(fs::exists(folder_ / "given"));
}

TEST_F(AppPathsTest, WithoutOverridesAWritableFolderIsFound) {
    unsetenv("PAGEWRIGHT_STATE_DIR");
    setenv("XDG_STATE_HOME", folder_.c_str(), 1);  // in case the executable's folder is read-only
    ResetAppDirectory();
    const fs::path found = AppDirectory();
    EXPECT_FALSE(found.empty());
    EXPECT_TRUE(fs::is_directory(found));
}

}  // namespace
}  // namespace pw
