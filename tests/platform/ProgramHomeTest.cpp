#include "platform/ProgramHome.h"

#include <gtest/gtest.h>

// An installed program that wrote beside itself would write into /usr as
// root, or warn at every start as anybody else; one run from its build
// folder keeps its files there. A relative XDG_DATA_HOME would name a folder
// below wherever the program was started, so the XDG rules ignore it.
TEST(ProgramHome, InstalledExecutablesKeepTheirFilesInTheDataFolder) {
    const QByteArray home = qgetenv("HOME"), data = qgetenv("XDG_DATA_HOME");
    qputenv("HOME", "/home/lab");
    const struct {
        const char* executable;
        const char* dataHome;
        const char* folder;
    } cases[] = {
        {"/usr/bin/cyclomarkator", "/srv/data/", "/srv/data/cyclomarkator"},
        {"/usr/local/bin/cyclomarkator", "", "/home/lab/.local/share/cyclomarkator"},
        {"/opt/cyclomarkator/Cyclomarkator", "relative", "/home/lab/.local/share/cyclomarkator"},
        {"/tmp/prefix/bin/cyclomarkator", "/srv/data", "/srv/data/cyclomarkator"},
        {"/home/lab/sbin/Cyclomarkator", "/srv/data", "/srv/data/cyclomarkator"},
        {"/home/lab/src/build/Cyclomarkator", "/srv/data", "/home/lab/src/build"},
        {"/home/lab/binaries/Cyclomarkator", "/srv/data", "/home/lab/binaries"},
        {"/usr2/Cyclomarkator", "/srv/data", "/usr2"},
        {"/optical/Cyclomarkator", "/srv/data", "/optical"},
    };
    for (const auto& c : cases) {
        qputenv("XDG_DATA_HOME", c.dataHome);
        EXPECT_EQ(ProgramHome::defaultFolder(c.executable), c.folder) << c.executable;
    }
    qputenv("HOME", home);
    qputenv("XDG_DATA_HOME", data);
}
