#pragma once

#include <QString>

// A private home for one test program, made first in main(), before the application object reads its
// environment: HOME and every XDG folder point into a new temporary folder, windows go to the offscreen
// platform and the session bus reaches nothing. So a test run by hand or from an IDE never touches the
// user's history, settings, downloaded tools, clipboard or keyring; child processes inherit all of it.
//
// A keyring test (given the path of with-keyring.sh) runs again inside that script's private D-Bus
// session with its own GNOME Keyring, unless it already runs there; TRELLICK_TEST_NO_SECRET_SERVICE makes
// it stay outside, without any bus. The folder is removed when the program ends.
//
// QStandardPaths' test mode is left off: it ignores XDG_DATA_HOME and XDG_CONFIG_HOME in this process
// only, so the helper programs a test starts (trellick-dev, trellick-probe) would look for the history,
// the settings and the tools in other folders than the test itself.
class TestHome
{
public:
    TestHome(char** argv, const char* keyringScript);
    ~TestHome();
    TestHome(const TestHome&) = delete;
    TestHome& operator=(const TestHome&) = delete;

private:
    QString m_path;
};
