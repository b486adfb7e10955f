#include "platform/ProgramHome.h"

#include <QDir>
#include <gtest/gtest.h>

#include <optional>

namespace {
// Sets an environment variable for one scope and puts back what was there.
class ScopedVariable {
public:
    ScopedVariable(const char* name, const std::optional<QByteArray>& value)
        : m_name(name),
          m_old(qEnvironmentVariableIsSet(name) ? std::optional<QByteArray>(qgetenv(name))
                                                : std::nullopt) {
        value ? qputenv(name, *value) : qunsetenv(name);
    }
    ~ScopedVariable() { m_old ? qputenv(m_name, *m_old) : qunsetenv(m_name); }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    const char* m_name;
    std::optional<QByteArray> m_old;
};
} // namespace

// An installed program that wrote beside itself would write into /usr as
// root, or fail and warn at every start as anybody else; one run from its
// build folder must keep its files there.
TEST(ProgramHome, InstalledExecutablesKeepTheirFilesInTheDataFolder) {
    const ScopedVariable data("XDG_DATA_HOME", QByteArray("/home/lab/data"));
    const struct {
        const char* executable;
        const char* folder;
    } cases[] = {
        {"/usr/bin/cyclomarkator", "/home/lab/data/cyclomarkator"},
        {"/usr/local/bin/cyclomarkator", "/home/lab/data/cyclomarkator"},
        {"/opt/cyclomarkator/Cyclomarkator", "/home/lab/data/cyclomarkator"},
        {"/tmp/prefix/bin/cyclomarkator", "/home/lab/data/cyclomarkator"},
        {"/home/lab/sbin/Cyclomarkator", "/home/lab/data/cyclomarkator"},
        {"/home/lab/src/build/Cyclomarkator", "/home/lab/src/build"},
        {"/home/lab/binaries/Cyclomarkator", "/home/lab/binaries"},
        {"/usr2/Cyclomarkator", "/usr2"},
        {"/optical/Cyclomarkator", "/optical"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ProgramHome::defaultFolder(c.executable), c.folder) << c.executable;
}

// A relative XDG_DATA_HOME would name a folder below wherever the program
// was started; the XDG rules say to ignore it.
TEST(ProgramHome, DataFolderFollowsXdgDataHome) {
    const ScopedVariable home("HOME", QByteArray("/home/lab"));
    const struct {
        std::optional<QByteArray> value;
        const char* folder;
    } cases[] = {
        {QByteArray("/srv/rigs/"), "/srv/rigs/cyclomarkator"},
        {QByteArray("relative/data"), "/home/lab/.local/share/cyclomarkator"},
        {QByteArray(""), "/home/lab/.local/share/cyclomarkator"},
        {std::nullopt, "/home/lab/.local/share/cyclomarkator"},
    };
    for (const auto& c : cases) {
        const ScopedVariable data("XDG_DATA_HOME", c.value);
        EXPECT_EQ(ProgramHome::dataFolder(), c.folder) << c.value.value_or("unset").constData();
    }
}
