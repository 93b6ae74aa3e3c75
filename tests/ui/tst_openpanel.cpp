#include "TestFiles.h"
#include "TestMain.h"
#include "ui/FileDialogOpenPanel.h"
#include "ui/FileDialogs.h"
#include "ui/FilesAndFoldersDialog.h"

#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestOpenPanel : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void plantedAnswerShowsNoWindow()
    {
        FileDialogOpenPanel panel;
        FileDialogs::setNextAnswer({u"/b"_s, u"/a"_s});
        QCOMPARE(panel.choose(u"Choose the file or files to work on"_s), (QStringList{u"/b"_s, u"/a"_s}));
    }

    void choosesFilesAndFoldersTogether()
    {
        const QString file = TestFiles::write(m_dir.filePath(u"a.txt"_s), "x");
        const QString folder = m_dir.filePath(u"sub"_s);
        QVERIFY(QDir().mkpath(folder));
        FilesAndFoldersDialog dialog(nullptr, u"Choose the file or files to work on"_s);
        QCOMPARE(dialog.windowTitle(), u"Choose the file or files to work on"_s);
        dialog.setDirectory(m_dir.path());
        dialog.selectFile(uR"("sub" "a.txt")"_s);
        dialog.accept();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(dialog.selectedFiles(), (QStringList{folder, file}));
    }
};

TRELLICK_TEST_MAIN(TestOpenPanel)
#include "tst_openpanel.moc"
