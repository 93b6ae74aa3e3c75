#include "TestMain.h"
#include "platform/DesktopWorkspace.h"

#include <QDesktopServices>
#include <QTest>
#include <QUrl>

using namespace Qt::StringLiterals;

// Receives what would have gone to the desktop's default application.
class UrlCatcher : public QObject
{
    Q_OBJECT

public:
    QList<QUrl> urls;

public slots:
    void handle(const QUrl& url) { urls << url; }
};

class TestDesktopWorkspace : public QObject
{
    Q_OBJECT

    UrlCatcher m_catcher;

private slots:
    void initTestCase() { QDesktopServices::setUrlHandler(u"file"_s, &m_catcher, "handle"); }

    void cleanupTestCase() { QDesktopServices::unsetUrlHandler(u"file"_s); }

    void opensFilesAndFallsBackToTheFolderWithoutAFileManager()
    {
        DesktopWorkspace workspace;
        workspace.open(u"/tmp/some song.mp3"_s);
        // The test runs without a session bus, so no file manager can be asked to select the files.
        workspace.reveal({u"/tmp/pages/page-1.png"_s, u"/srv/other.png"_s});
        QCOMPARE(m_catcher.urls,
                 (QList<QUrl>{QUrl::fromLocalFile(u"/tmp/some song.mp3"_s), QUrl::fromLocalFile(u"/tmp/pages"_s)}));
    }
};

TRELLICK_TEST_MAIN(TestDesktopWorkspace)
#include "tst_desktopworkspace.moc"
