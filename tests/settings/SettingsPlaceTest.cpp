// Where a program keeps its settings: beside it while its directory may be
// written, else in the user's configuration directory, and the one-time
// message only when neither can be written. The read-only program directory
// is a read-only bind mount in a mount namespace of the writer's own, which
// even root cannot write (a mode of 0555 would not stop root).

#include "iniEdit.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <utility>

namespace {

using namespace vemba;

TEST(SettingsPlace, BesideTheProgramElseInTheUsersConfigurationElseTold) {
    QTemporaryDir dir;
    const QString ro = dir.path() + "/ro";
    ASSERT_TRUE(QDir().mkpath(ro));
    // <ro> is the read-only directory, <home> the case's own home; an empty
    // XDG_CONFIG_HOME or HOME is not set at all.
    const struct {
        const char* name;
        QString program, xdg, home, settings;
        bool told;
    } cases[] = {
        {"writable program directory", "<home>/prog", "<home>/xdg", "<home>", "<home>/prog", false},
        {"read-only, XDG_CONFIG_HOME", "<ro>", "<home>/xdg", "<home>", "<home>/xdg/vemba-pc",
         false},
        {"read-only, no XDG_CONFIG_HOME", "<ro>", "", "<home>", "<home>/.config/vemba-pc", false},
        {"read-only, relative XDG_CONFIG_HOME", "<ro>", "xdg", "<home>", "<home>/.config/vemba-pc",
         false},
        {"configuration read-only too", "<ro>", "<ro>/xdg", "<home>", "<ro>/xdg/vemba-pc", true},
        {"no home at all", "<ro>", "", "", "<ro>", true},
    };
    const QString script = QStringLiteral(
        "mount --bind \"$1\" \"$1\" && mount -o remount,bind,ro \"$1\" && echo MOUNTED || exit;"
        "shift; exec \"$@\"");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir home;
        ASSERT_TRUE(QDir().mkpath(home.path() + "/prog"));
        const auto place = [&](QString s) {
            return s.replace("<ro>", ro).replace("<home>", home.path());
        };
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const auto& [name, value] : {std::pair{"XDG_CONFIG_HOME", c.xdg}, {"HOME", c.home}}) {
            env.remove(name);
            if (!value.isEmpty()) {
                env.insert(name, place(value));
            }
        }
        QProcess shell;
        shell.setProcessEnvironment(env);
        shell.start("unshare", {"--map-root-user", "--mount", "sh", "-c", script, "sh", ro,
                                VEMBA_SETTINGS_CHILD, place(c.program), "3", "program"});
        ASSERT_TRUE(shell.waitForFinished(30000));
        const QString out = QString::fromUtf8(shell.readAllStandardOutput());
        if (!out.startsWith("MOUNTED\n")) {
            GTEST_SKIP() << "cannot mount read-only: " << shell.readAllStandardError().data();
        }
        const QString path = iniEdit::settingsPath(place(c.settings));
        EXPECT_TRUE(out.contains("DIRECTORY " + place(c.settings) + "\n")) << out.toStdString();
        EXPECT_EQ(out.count("MESSAGE "), c.told ? 1 : 0) << out.toStdString();
        EXPECT_EQ(out.contains(path), c.told) << out.toStdString();
        // The next start reads it back, from where it is on disk.
        EXPECT_TRUE(out.endsWith(c.told ? "READ \nDONE\n" : "READ 3\nDONE\n")) << out.toStdString();
        EXPECT_EQ(QFile::exists(path), !c.told);
    }
}

} // namespace
