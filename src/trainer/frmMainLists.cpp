// The main window's verb list: which file it reads (the shipped list, or the
// one the learner chose and ChosenList remembers), loading it with what a
// learner is told, and the "Datei" entries that choose the list.

#include "platform/App.h"
#include "platform/MsgBox.h"
#include "trainer/ChosenList.h"
#include "trainer/ProgramServices.h"
#include "trainer/frmMain.h"
#include "trainer/frmMainSpeech.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLocale>

namespace {

// Why a file with lines gave no verb, for the empty-list message; "" when it
// held nothing but comments and empty lines.
QString noVerbsPrompt(const VerbTable &table)
{
    if (!table.entries.isEmpty() || table.skippedLines == 0)
        return QString();
    QString found;
    if (table.semicolonLines > 0 || table.commaLines > 0)
        found = table.semicolonLines >= table.commaLines ? QStringLiteral(" (gefunden: Semikolons)")
                                                         : QStringLiteral(" (gefunden: Kommas)");
    return QStringLiteral("Die Verben-Datei hat keine gültige Zeile: die vier Felder müssen durch "
                          "Tabulatoren getrennt sein")
           + found + u'.';
}

// Loads the list at path and tells the learner what went wrong, naming the
// file: the shipped one by its name in the program folder, a chosen one by
// its whole path, with the word that the shipped list comes instead.
VerbTable readList(QWidget *owner, FileSystemObject &fso, const QString &path, bool chosen)
{
    const QString named = QStringLiteral("Die Verben-Datei (")
                          + (chosen ? QDir::toNativeSeparators(path) : QFileInfo(path).fileName())
                          + u')';
    const QString instead
            = chosen ? QStringLiteral(" Stattdessen wird die mitgelieferte Liste geladen.")
                     : QString();
    const QString title = App::Title() + QStringLiteral(" - keine Verben-Datei");
    VerbTable table = loadVerbFile(fso, path);
    switch (table.outcome) {
    case VerbFileOutcome::Missing:
        MsgBox(named
                       + (chosen ? QStringLiteral(" wurde nicht gefunden!")
                                 : QStringLiteral(" wurde nicht im Programmordner gefunden!"))
                       + instead,
               vbExclamation, title, owner);
        break;
    case VerbFileOutcome::Unreadable:
        MsgBox(named + QStringLiteral(" konnte nicht gelesen werden!") + instead, vbExclamation,
               title, owner);
        break;
    case VerbFileOutcome::TooLarge:
        MsgBox(named + QStringLiteral(" ist größer als ") + QString::number(MaxVerbFileBytes >> 20)
                       + QStringLiteral(" MiB und wurde nicht geladen.") + instead,
               vbExclamation, title, owner);
        break;
    case VerbFileOutcome::Loaded:
        if (table.truncated) {
            const QString limit = QLocale(QLocale::German).toString(qint64(MaxVerbs));
            MsgBox(named + QStringLiteral(" enthält mehr als ") + limit
                           + QStringLiteral(" Verben. Nur die ersten ") + limit
                           + QStringLiteral(" wurden geladen."),
                   vbExclamation, App::Title() + QStringLiteral(" - zu viele Verben"), owner);
        }
        break;
    }
    return table;
}

} // namespace

void frmMain::LoadVerbs()
{
    // The old list goes first, so a failed reload never leaves it in place.
    VerbList.clear();
    ixFirstVerb = -1;
    ixLastVerb = -1;
    ixCurrentVerb = -1;
    mSpeech->formsHidden();
    mScore.verbForgotten();
    mNoVerbsPrompt.clear();

    // A chosen list that cannot be read gives way to the shipped one, and
    // stays chosen: a list on a drive that is not there yet comes back with
    // the next reload.
    VerbTable table;
    if (!mChosenList.isEmpty())
        table = readList(this, mServices.fileSystem(), mChosenList, true);
    if (mChosenList.isEmpty() || table.outcome != VerbFileOutcome::Loaded)
        table = readList(this, mServices.fileSystem(), ChosenList::shippedList(), false);
    mNoVerbsPrompt = noVerbsPrompt(table);
    if (!table.entries.isEmpty()) {
        VerbList = std::move(table.entries);
        ixFirstVerb = 1;
        ixLastVerb = qint16(VerbList.size());
    }
    verbsLoaded();
}

void frmMain::setListDialog(std::function<QString()> choose)
{
    mListDialog = std::move(choose);
}

void frmMain::mnuOpenList_Click()
{
    const QString folder
            = QFileInfo(mChosenList.isEmpty() ? ChosenList::shippedList() : mChosenList)
                      .absolutePath();
    const QString path = mListDialog ? mListDialog()
                                     : QFileDialog::getOpenFileName(
                                             this, QStringLiteral("Verbliste öffnen"), folder,
                                             QStringLiteral("Verblisten (*.txt *.tsv *.csv);;"
                                                            "Alle Dateien (*)"));
    if (path.isEmpty())
        return;
    mChosenList = QFileInfo(path).absoluteFilePath();
    if (mChosenList == QFileInfo(ChosenList::shippedList()).absoluteFilePath())
        mChosenList.clear();
    // The choice holds for this run even when it cannot be kept.
    if (!ChosenList::remember(mChosenList))
        qWarning("Verb list choice not kept: %s could not be written",
                 qPrintable(ChosenList::rememberedFile()));
    LoadVerbs();
}

void frmMain::mnuShippedList_Click()
{
    mChosenList.clear();
    if (!ChosenList::remember(QString()))
        qWarning("Verb list choice not forgotten: %s could not be removed",
                 qPrintable(ChosenList::rememberedFile()));
    LoadVerbs();
}
