// The main window under Qt's offscreen platform, with dialogs answered by the test: the fields at
// start, the presets, browsing the real recordings, the parameter check's messages and focus,
// the overwrite question and the refusals at Start, the command line applied to the fields, the
// results-file dialog's extension, and the end of a run that stopped.
#include "app/Main.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QTimer>
#include <QtTest/QTest>
#include <algorithm>
#include <deque>
#include <filesystem>
#include <fstream>
#include <memory>

#include "SharedData.h"
#include "app/FGraphicsResult.h"
#include "app/FProgress.h"
#include "app/uResultsLock.h"
#include "app/uShellTools.h"
#include "app/uSpinField.h"
#include "report/uRunRecord.h"

namespace {

namespace fs = std::filesystem;
using vantrel::TMainForm;

// Records every box, and whether the main window behind it could be used, and answers
// questions from a script (No when the script is empty).
class FakeDialogs : public vantrel::TDialogs {
  public:
    void Error(QWidget* parent, const QString& text) override {
        Errors.push_back(text.toStdString());
        UsableBehind.push_back(Usable(parent));
    }
    void Information(QWidget* parent, const QString&, const QString& text) override {
        Informations.push_back(text.toStdString());
        UsableBehind.push_back(Usable(parent));
    }
    void Listing(QWidget* parent, const QString& title, const QString& text) override {
        Information(parent, title, text);
    }
    bool Question(QWidget*, const QString& title, const QString& text, bool defaultYes) override {
        Questions.push_back(title.toStdString() + "|" + text.toStdString() +
                            (defaultYes ? "|Yes" : "|No"));
        if (Answers.empty()) return false;
        const bool answer = Answers.front();
        Answers.pop_front();
        return answer;
    }
    QString ChooseFile(QWidget*, const QString&, const QString&, bool) override { return {}; }

    std::vector<std::string> Errors, Informations, Questions;
    std::vector<bool> UsableBehind;
    std::deque<bool> Answers;

  private:
    static bool Usable(QWidget* parent) {
        const auto* main = qobject_cast<QMainWindow*>(parent);
        return main && main->centralWidget()->isEnabled() && main->menuBar()->isEnabled();
    }
};

// Presses Cancel of every progress window as soon as it shows.
class CancelOnShow : public QObject {
  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show)
            if (auto* progress = qobject_cast<vantrel::TShowProgress*>(watched))
                progress->Button1Click();
        return false;
    }
};

// Closes the results window once it shows, as a person who has looked at piB.
class CloseResultsOnShow : public QObject {
  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show)
            if (auto* results = qobject_cast<vantrel::TFormGraphResult*>(watched))
                QTimer::singleShot(0, results, [results] { results->accept(); });
        return false;
    }
};

class MainWindow : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "main_window_tests";
        static char* argv[] = {name, nullptr};
        if (!QApplication::instance()) new QApplication(argc, argv);
    }

    void SetUp() override {
        // One folder per process: ctest runs the cases in parallel processes.
        dir =
            fs::temp_directory_path() / ("vantrel_main_window_test_" + std::to_string(::getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override {
        form.reset();
        fs::remove_all(dir);
    }

    TMainForm& Open(std::vector<std::string> args = {}) {
        form.reset();
        form = std::make_unique<TMainForm>(std::move(args), dialogs);
        form->show();
        return *form;
    }
    QLineEdit* Edit(const char* name) { return form->findChild<QLineEdit*>(name); }
    QString Label(const char* name) { return form->findChild<QLabel*>(name)->text(); }
    vantrel::TSpinField* SignalField() {
        return form->findChild<vantrel::TSpinField*>("EditSignalNr");
    }
    void Click(const char* button) {
        QTest::mouseClick(form->findChild<QPushButton*>(button), Qt::LeftButton);
    }
    static std::string Recording(const char* name) {
        return (vantrel_test::SharedDataDir() / name).string();
    }
    // Fields that pass the parameter check for the 100 Hz sleep recording.
    void FillValidFields(const std::string& output) {
        Edit("EditInFileName")->clear();
        Edit("EditInFileName")
            ->setText(QString::fromStdString(Recording("sleepedf-sc4001-5min.edf")));
        Edit("EditOutFileName")->setText(QString::fromStdString(output));
        Click("ButtonSlowWave");
    }

    fs::path dir;
    FakeDialogs dialogs;
    std::unique_ptr<TMainForm> form;
};

TEST_F(MainWindow, StartsEmptyWithItsCaptionsAndHints) {
    Open();
    EXPECT_EQ(form->windowTitle(), "Vantrel version 4");
    EXPECT_EQ(Label("LabelSignalName"), "No valid EDF file selected");
    EXPECT_EQ(Label("LabelFilterSettings"), "");
    EXPECT_EQ(SignalField()->Text(), "1");
    EXPECT_EQ(SignalField()->Minimum(), 1);
    EXPECT_EQ(SignalField()->Maximum(), 65535);
    EXPECT_EQ(Edit("EditLP")->toolTip(), "The 3dB cut-off (Hz) of the lowest lowpass filter");
    EXPECT_EQ(Edit("EditLP")->toolTipDuration(), 10000);
    EXPECT_FALSE(form->findChild<QLabel*>("LabelUndersampling")->isVisibleTo(form.get()));
    EXPECT_TRUE(form->ProgressList().Lines().empty());
}

TEST_F(MainWindow, PresetsFillTheParameters) {
    const struct {
        const char* Button;
        const char *F0, *B, *Fc, *Rate, *Focus;
    } cases[] = {
        {"ButtonSlowWave", "1", "1.5", "1.8", "0.01666", "StartButton"},
        {"ButtonAlpha", "", "3.5", "1.8", "", "EditF0"},
        {"ButtonSpindles", "", "3.5", "1.8", "", "EditF0"},
    };
    Open();
    for (const auto& c : cases) {
        Edit("EditF0")->setText("9");
        Edit("Editrate")->setText("9");
        Click(c.Button);
        EXPECT_EQ(Edit("EditF0")->text(), c.F0) << c.Button;
        EXPECT_EQ(Edit("EditB")->text(), c.B) << c.Button;
        EXPECT_EQ(Edit("EditFc")->text(), c.Fc) << c.Button;
        EXPECT_EQ(Edit("Editrate")->text(), c.Rate) << c.Button;
        EXPECT_EQ(form->focusWidget()->objectName().toStdString(), c.Focus) << c.Button;
    }
}

TEST_F(MainWindow, BrowsesTheSignalsOfRealRecordings) {
    VANTREL_NEED_SHARED_DATA();
    const struct {
        const char* File;
        const char* Signal;
        const char *Name, *Filters, *LP, *HP;
        int Maximum;
    } cases[] = {
        {"sleepedf-sc4001-5min.edf", "1", "EEG Fpz-Cz (100Hz)",
         "HP:0.5Hz LP:100Hz [enhanced cassette BW]", "100", "0.5", 7},
        {"sleepedf-sc4001-5min.edf", "5", "EMG submental (1Hz)", "HP:16Hz Rectification LP:0.7Hz",
         "0.7", "16", 7},
        // Typing "13" passes "1": an out-of-range number leaves the filter fields as they were.
        {"sleepedf-sc4001-5min.edf", "13", "SignalNumber out of range (1..7)", "", "100", "0.5", 7},
        {"cap-brux2-100s.edf", "2", "F4-C4 (256Hz)", "LP:30.00Hz HP:0.30Hz NOTCH:50", "30.00",
         "0.30", 5},
        {"egi-0p1s-26s.edf", "1", "EEG 1 (250Hz)", "", "", "", 3},
        {"nox-a1-2min.edf", "1", "EDF Annotations (1Hz)", "", "", "", 90},
        {"stim-oddheader-10s.edf", "3", "EEG F7 (128Hz)", "DC", "", "", 25},
    };
    Open();
    for (const auto& c : cases) {
        Edit("EditLP")->clear();
        Edit("EditInFileName")->setText(QString::fromStdString(Recording(c.File)));
        SignalField()->setFocus();
        QTest::keyClick(SignalField(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(SignalField(), c.Signal);
        EXPECT_EQ(Label("LabelSignalName").toStdString(), c.Name) << c.File << " " << c.Signal;
        EXPECT_EQ(Label("LabelFilterSettings").toStdString(), c.Filters) << c.File;
        EXPECT_EQ(Edit("EditLP")->text().toStdString(), c.LP) << c.File;
        EXPECT_EQ(Edit("EditHP")->text().toStdString(), c.HP) << c.File;
        EXPECT_EQ(SignalField()->Maximum(), c.Maximum) << c.File;
        EXPECT_TRUE(SignalField()->isEnabled());
    }
    // A label in UTF-8 is shown as such.
    Edit("EditInFileName")->setText(QString::fromStdString(Recording("nox-a1-2min.edf")));
    bool found = false;
    for (int n = 1; n <= 90 && !found; ++n) {
        SignalField()->SetTextSilently(QString::number(n));
        form->EditSignalNrChange();
        found = Label("LabelSignalName")
                    .contains(QString::fromUtf8("Imp\xC3\xA9"
                                                "dance"));
    }
    EXPECT_TRUE(found);
    // A file that is not EDF disables the signal field; Start then names the input field.
    const fs::path text = dir / "notes.edf";
    std::ofstream(text) << "not a recording";
    Edit("EditInFileName")->setText(QString::fromStdString(text.string()));
    EXPECT_FALSE(SignalField()->isEnabled());
    form->StartButtonClick();
    EXPECT_EQ(dialogs.Errors, std::vector<std::string>{"Invalid EDF inputfilename"});
}

TEST_F(MainWindow, AnotherInputNameClearsThePreviousRecordingsFacts) {
    VANTREL_NEED_SHARED_DATA();
    const fs::path text = dir / "notes.edf";
    std::ofstream(text) << "not a recording";
    Open();
    for (const fs::path& name : {dir / "missing.edf", text}) {
        Edit("EditInFileName")
            ->setText(QString::fromStdString(Recording("sleepedf-sc4001-5min.edf")));
        ASSERT_EQ(Edit("EditLP")->text(), "100");
        ASSERT_EQ(form->SampleFrequency(), 100);
        Edit("EditInFileName")->setText(QString::fromStdString(name.string()));
        EXPECT_EQ(Label("LabelSignalName"), "No valid EDF file selected") << name;
        EXPECT_EQ(Label("LabelFilterSettings"), "") << name;
        EXPECT_EQ(Edit("EditLP")->text(), "") << name;
        EXPECT_EQ(Edit("EditHP")->text(), "") << name;
        EXPECT_EQ(form->SampleFrequency(), 0) << name;
    }

    // A number too large for an integer is out of range, as 8 of 7 signals is.
    Edit("EditInFileName")->setText(QString::fromStdString(Recording("sleepedf-sc4001-5min.edf")));
    SignalField()->SetTextSilently("99999999999");
    form->EditSignalNrChange();
    EXPECT_EQ(Label("LabelSignalName"), "SignalNumber out of range (1..7)");
    EXPECT_TRUE(dialogs.Errors.empty());
}

TEST_F(MainWindow, ResultsFileDialogAddsTheExtensionOfItsFilter) {
    const struct {
        const char* Filter;  // selected in the dialog; nullptr: as it opens
        const char* Typed;
        const char* Chosen;
    } cases[] = {
        {nullptr, "night24res", "night24res.cvn"},
        {"All files (*)", "night24res", "night24res"},
        {nullptr, "night24.res", "night24.res"},
    };
    for (const auto& c : cases) {
        QTimer::singleShot(0, [&c] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            if (c.Filter) dialog->selectNameFilter(c.Filter);
            dialog->selectFile(c.Typed);
            static_cast<QDialog*>(dialog)->accept();  // as Save does
        });
        const QString chosen =
            vantrel::TQtDialogs().ChooseFile(nullptr, QString::fromStdString(dir.string()),
                                             "Corvane files (*.cvn *.CVN);;All files (*)", false);
        EXPECT_EQ(chosen.toStdString(), (dir / c.Chosen).string()) << c.Typed;
    }
}

TEST_F(MainWindow, ParameterCheckNamesTheFieldAndFocusesIt) {
    VANTREL_NEED_SHARED_DATA();
    const std::string output = (dir / "out.cvn").string();
    const struct {
        const char* Field;  // emptied or set before Start
        const char* Text;
        const char* Message;
        const char* Focus;
    } cases[] = {
        {"EditOutFileName", "", "Invalid EDF outputfilename", "EditOutFileName"},
        {"EditLP", "", "Please type the value of the lowest applied LP filter", "EditLP"},
        {"EditHP", "x", "Invalid number format", "EditHP"},
        {"EditHP", "6", "HP filter should be < 3Hz", "EditHP"},
        {"EditF0", "", "0 <= F0 <= Fsample", "EditF0"},
        {"Editrate", "1.5", "0.0 <= rate <= 1.0", "Editrate"},
        {"EditB", "2", "B0 should be < 2*F0", "EditB"},
    };
    Open();
    for (const auto& c : cases) {
        FillValidFields(output);
        Edit(c.Field)->setText(c.Text);
        dialogs.Errors.clear();
        form->StartButtonClick();
        EXPECT_EQ(dialogs.Errors, std::vector<std::string>{c.Message}) << c.Field;
        EXPECT_EQ(form->focusWidget()->objectName().toStdString(), c.Focus) << c.Field;
        EXPECT_FALSE(form->Finished());
    }
}

TEST_F(MainWindow, AsksBeforeOverwritingAndRefusesCollidingFiles) {
    VANTREL_NEED_SHARED_DATA();
    const fs::path output = dir / "out.cvn";
    Open();
    FillValidFields(output.string());
    std::ofstream(output) << "old results";

    // The check comes first: a parameter that fails it asks nothing and deletes nothing.
    Edit("EditF0")->clear();
    form->StartButtonClick();
    EXPECT_TRUE(dialogs.Questions.empty());
    EXPECT_EQ(dialogs.Errors, std::vector<std::string>{"0 <= F0 <= Fsample"});
    EXPECT_TRUE(fs::exists(output));

    // Another run writes the results file: refused before the question.
    Click("ButtonSlowWave");
    dialogs.Errors.clear();
    {
        const vantrel::TResultsLock other(output.string());
        form->StartButtonClick();
    }
    EXPECT_TRUE(dialogs.Questions.empty());
    EXPECT_EQ(dialogs.Errors, std::vector<std::string>{
                                  "The results file is in use by another run: " + output.string()});

    dialogs.Errors.clear();
    dialogs.Answers = {false};
    form->StartButtonClick();
    EXPECT_EQ(dialogs.Questions,
              std::vector<std::string>{"Confirmation|Do you want to overwrite the output file " +
                                       output.string() + "?|No"});
    EXPECT_TRUE(fs::exists(output));
    EXPECT_TRUE(dialogs.Errors.empty());  // No: nothing else happens

    // The input named as results file, through a link: refused before anything is deleted.
    const fs::path link = dir / "link.edf";
    fs::create_symlink(Recording("sleepedf-sc4001-5min.edf"), link);
    Edit("EditOutFileName")->setText(QString::fromStdString(link.string()));
    dialogs.Errors.clear();
    dialogs.Questions.clear();
    form->StartButtonClick();
    EXPECT_EQ(dialogs.Errors,
              std::vector<std::string>{"The results file must not be the input file"});
    EXPECT_TRUE(dialogs.Questions.empty());

    Edit("EditInFileName")->setText(QString::fromStdString(Recording("nox-a1-2min.edf")));
    SignalField()->SetTextSilently("1");
    Edit("EditOutFileName")->setText(QString::fromStdString(output.string()));
    dialogs.Errors.clear();
    form->StartButtonClick();
    EXPECT_EQ(dialogs.Errors, std::vector<std::string>{"Signal 1 is an EDF+ annotation signal"});
    EXPECT_FALSE(form->Finished());
}

TEST_F(MainWindow, ARunThatStopsKeepsItsResultsFileAndSaysSo) {
    VANTREL_NEED_SHARED_DATA();
    const fs::path output = dir / "out.cvn";
    Open();
    FillValidFields(output.string());
    CancelOnShow cancel;
    QApplication::instance()->installEventFilter(&cancel);
    form->StartButtonClick();
    QApplication::instance()->removeEventFilter(&cancel);

    EXPECT_TRUE(form->Finished());  // the program ends as after any run
    EXPECT_EQ(dialogs.Informations, std::vector<std::string>{"The results file " + output.string() +
                                                             " is incomplete and was kept"});
    // Every box of the run, errors and the last message, stands before a disabled window.
    EXPECT_EQ(dialogs.UsableBehind.size(), dialogs.Errors.size() + 1);
    EXPECT_EQ(std::count(dialogs.UsableBehind.begin(), dialogs.UsableBehind.end(), true), 0);
    EXPECT_TRUE(vantrel::IsIncompleteResultsFile(output.string()));
    vantrel::FinalHeaderFix(output.string());  // as a complete run ends
    EXPECT_FALSE(vantrel::IsIncompleteResultsFile(output.string()));
}

// A run from the window writes its run record beside the results file, as a batch run does.
TEST_F(MainWindow, ACompletedRunWritesItsRecord) {
    VANTREL_NEED_SHARED_DATA();
    const fs::path output = dir / "window.cvn";
    Open();
    FillValidFields(output.string());
    CloseResultsOnShow close;
    QApplication::instance()->installEventFilter(&close);
    form->StartButtonClick();
    QApplication::instance()->removeEventFilter(&close);
    EXPECT_TRUE(dialogs.Errors.empty());
    EXPECT_FALSE(vantrel::IsIncompleteResultsFile(output.string()));
    const vantrel::TRunRecord record = vantrel::ReadRunRecord(output.string() + ".json");
    EXPECT_EQ(record.Results.Seconds, 300);  // five minutes at 50 Hz
    EXPECT_EQ(record.Input.Label, "EEG Fpz-Cz");
}

TEST_F(MainWindow, CommandLineFillsTheFields) {
    VANTREL_NEED_SHARED_DATA();
    const fs::path cwd = fs::current_path();
    fs::current_path(dir);
    Open({Recording("sleepedf-sc4001-5min.edf"), "2", "out.cvn", "1", "1,5", "1.8", "0.01666",
          "/LP:35", "/UNDERSAMPLE=4"});
    form->FirstIdle();
    fs::current_path(cwd);
    EXPECT_EQ(Label("LabelSignalName"), "EEG Pz-Oz (100Hz)");
    EXPECT_EQ(Edit("EditOutFileName")->text().toStdString(), (dir / "out.cvn").string());
    EXPECT_EQ(Edit("EditB")->text(), "1.5");
    EXPECT_EQ(Edit("EditLP")->text(), "35");  // the option after position 7 wins
    EXPECT_EQ(Edit("EditHP")->text(), "0.5");
    EXPECT_EQ(form->UndersamplingFactor(), 4);
    EXPECT_FALSE(form->Finished());  // interactive: the window waits for the person

    // A label fills the field with the number of the signal it names; one that names none ends
    // the parsing with the general error report.
    Open({Recording("sleepedf-sc4001-5min.edf"), "C3|eeg pz-OZ", "out.cvn"});
    form->FirstIdle();
    EXPECT_EQ(SignalField()->Text(), "2");
    EXPECT_EQ(Label("LabelSignalName"), "EEG Pz-Oz (100Hz)");
    Open({Recording("sleepedf-sc4001-5min.edf"), "abc", "out.cvn", "/OVERWRITE"});
    form->FirstIdle();
    EXPECT_EQ(dialogs.Errors,
              std::vector<std::string>{
                  "No signal labelled abc; the labels are: EEG Fpz-Cz, EEG Pz-Oz, EOG horizontal, "
                  "Resp oro-nasal, EMG submental, Temp rectal, Event marker"});
    EXPECT_FALSE(form->Options().OverwriteOutput);
    EXPECT_FALSE(form->Finished());
}

}  // namespace
