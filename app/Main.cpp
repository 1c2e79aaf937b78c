// The main window: its controls and layout, the command line's target, and the handlers.
#include "app/Main.h"

#include "app/uResultsLock.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QToolButton>
#include <QVBoxLayout>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <functional>
#include <system_error>

#include "app/SplashForm.h"
#include "app/uNightPicture.h"
#include "app/uResultsLock.h"
#include "app/uRunFields.h"
#include "app/uRunOutputs.h"
#include "app/uShellTools.h"
#include "app/uSpinField.h"
#include "edf/uEDF.h"
#include "edf/uEDFTools.h"
#include "edf/uSignalLabels.h"
#include "support/uExceptions.h"
#include "support/uVersion.h"
#include "support/udStr.h"

namespace vantrel {

namespace {

namespace fs = std::filesystem;

constexpr int kHintMilliseconds = 10000;
constexpr int kSignalNumberLimit = 65535;  // the signal field's upper limit without a recording
const char* const kNoValidFile = "No valid EDF file selected";
const char* const kInputFilter = "EDF files (*.edf *.EDF *.rec *.REC);;All files (*)";
const char* const kResultsFilter = "Corvane files (*.cvn *.CVN);;All files (*)";

QString ToQ(const std::string& text) {
    return QString::fromStdString(text);
}

std::string FromQ(const QString& text) {
    return text.toStdString();
}

// A header text as it can be shown: UTF-8 when its bytes are, Latin-1 otherwise.
QString HeaderQ(const std::string& text) {
    return QString::fromUtf8(HeaderTextForDisplay(text));
}

void SetHint(QWidget* widget, const char* hint) {
    widget->setToolTip(QObject::tr(hint));
    widget->setToolTipDuration(kHintMilliseconds);
}

QLabel* HintLabel(const char* text, const char* hint, QWidget* parent) {
    auto* label = new QLabel(QObject::tr(text), parent);
    if (hint) SetHint(label, hint);
    return label;
}

QLineEdit* NumberEdit(const char* name, const char* hint, QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    SetHint(edit, hint);
    edit->setMinimumWidth(edit->fontMetrics().averageCharWidth() * 12);
    edit->setMaximumWidth(edit->fontMetrics().averageCharWidth() * 18);
    return edit;
}

QPushButton* NamedButton(const char* text, const char* name, QWidget* parent) {
    auto* button = new QPushButton(QObject::tr(text), parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setAutoDefault(true);  // Return on a focused button presses that button
    return button;
}

}  // namespace

// ---- Construction -------------------------------------------------------------------------------

TMainForm::TMainForm(std::vector<std::string> args, TDialogs& dialogs, QWidget* parent)
    : QMainWindow(parent),
      FArgs(std::move(args)),
      FDialogs(dialogs),
      FEngineWindows(this, dialogs) {
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(tr("Vantrel version 4"));
    BuildWindow();
    BuildMenus();
    ConnectHandlers();
    FProgressList.OnAppend = [this](const std::string& line) { EchoLine(line); };
}

TMainForm::~TMainForm() = default;

void TMainForm::BuildWindow() {
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->addWidget(BuildFileGroup());
    layout->addWidget(BuildParameterGroups());

    auto* progressGroup = new QGroupBox(tr("Progress"), central);
    auto* progressLayout = new QVBoxLayout(progressGroup);
    MemoProgress = new QPlainTextEdit(progressGroup);
    MemoProgress->setObjectName(QStringLiteral("MemoProgress"));
    MemoProgress->setReadOnly(true);
    MemoProgress->setMinimumHeight(MemoProgress->fontMetrics().lineSpacing() * 6);
    progressLayout->addWidget(MemoProgress);
    layout->addWidget(progressGroup, 1);

    auto* bottom = new QHBoxLayout;
    StartButton = NamedButton("Start Analysis", "StartButton", central);
    StartButton->setDefault(true);
    CancelButton = NamedButton("Cancel", "CancelButton", central);
    bottom->addStretch();
    bottom->addWidget(StartButton);
    bottom->addWidget(CancelButton);
    layout->addLayout(bottom);
    setCentralWidget(central);

    setTabOrder(EditInFileName, SpeedButton1);
    setTabOrder(SpeedButton1, EditSignalNr);
    setTabOrder(EditSignalNr, EditLP);
    setTabOrder(EditLP, EditHP);
    setTabOrder(EditHP, EditOutFileName);
    setTabOrder(EditOutFileName, SpeedButton2);
    setTabOrder(SpeedButton2, EditF0);
    setTabOrder(EditF0, EditB);
    setTabOrder(EditB, EditFc);
    setTabOrder(EditFc, Editrate);
    setTabOrder(Editrate, ButtonSlowWave);
    setTabOrder(ButtonSlowWave, ButtonAlpha);
    setTabOrder(ButtonAlpha, ButtonSpindles);
    setTabOrder(ButtonSpindles, MemoProgress);
    setTabOrder(MemoProgress, StartButton);
    setTabOrder(StartButton, CancelButton);
}

QWidget* TMainForm::BuildFileGroup() {
    auto* group = new QGroupBox(tr("File and signal settings"));
    auto* grid = new QGridLayout(group);

    EditInFileName = new QLineEdit(group);
    EditInFileName->setObjectName(QStringLiteral("EditInFileName"));
    SetHint(EditInFileName, "The EDF file to be analysed");
    EditInFileName->setMinimumWidth(EditInFileName->fontMetrics().averageCharWidth() * 56);
    SpeedButton1 = new QToolButton(group);
    SpeedButton1->setObjectName(QStringLiteral("SpeedButton1"));
    SpeedButton1->setText(QStringLiteral("..."));
    grid->addWidget(HintLabel("Input Filename", nullptr, group), 0, 0);
    grid->addWidget(EditInFileName, 0, 1, 1, 2);
    grid->addWidget(SpeedButton1, 0, 3);

    EditSignalNr = new TSpinField(group);
    EditSignalNr->setObjectName(QStringLiteral("EditSignalNr"));
    SetHint(EditSignalNr, "The signal to be analysed");
    EditSignalNr->setMinimumWidth(EditSignalNr->fontMetrics().averageCharWidth() * 10);
    LabelSignalName = new QLabel(tr(kNoValidFile), group);
    LabelSignalName->setObjectName(QStringLiteral("LabelSignalName"));
    grid->addWidget(HintLabel("Signal number", nullptr, group), 1, 0);
    grid->addWidget(EditSignalNr, 1, 1);
    grid->addWidget(LabelSignalName, 1, 2, 1, 2);

    auto* filters = new QGroupBox(tr("Filters that were applied to this signal"), group);
    auto* filterGrid = new QGridLayout(filters);
    LabelFilterSettings = new QLabel(filters);
    LabelFilterSettings->setObjectName(QStringLiteral("LabelFilterSettings"));
    LabelFilterSettings->setTextInteractionFlags(Qt::TextSelectableByMouse);
    EditLP = NumberEdit("EditLP", "The 3dB cut-off (Hz) of the lowest lowpass filter", filters);
    EditHP = NumberEdit("EditHP", "The 3dB cut-off (Hz) of the highest highpass filter", filters);
    filterGrid->addWidget(LabelFilterSettings, 0, 0, 1, 4);
    filterGrid->addWidget(HintLabel("Lowest LP filter", nullptr, filters), 1, 0);
    filterGrid->addWidget(EditLP, 1, 1);
    filterGrid->addWidget(HintLabel("Hz", nullptr, filters), 1, 2);
    filterGrid->addWidget(HintLabel("Highest HP filter", nullptr, filters), 2, 0);
    filterGrid->addWidget(EditHP, 2, 1);
    filterGrid->addWidget(HintLabel("Hz", nullptr, filters), 2, 2);
    filterGrid->setColumnStretch(3, 1);
    grid->addWidget(filters, 2, 0, 1, 4);

    EditOutFileName = new QLineEdit(group);
    EditOutFileName->setObjectName(QStringLiteral("EditOutFileName"));
    SetHint(EditOutFileName, "The EDF file to hold the analysis result");
    SpeedButton2 = new QToolButton(group);
    SpeedButton2->setObjectName(QStringLiteral("SpeedButton2"));
    SpeedButton2->setText(QStringLiteral("..."));
    grid->addWidget(HintLabel("Output Filename", nullptr, group), 3, 0);
    grid->addWidget(EditOutFileName, 3, 1, 1, 2);
    grid->addWidget(SpeedButton2, 3, 3);
    grid->setColumnStretch(2, 1);
    return group;
}

QWidget* TMainForm::BuildParameterGroups() {
    auto* row = new QWidget;
    auto* rowLayout = new QHBoxLayout(row);
    rowLayout->setContentsMargins(0, 0, 0, 0);

    auto* parameters = new QGroupBox(tr("Analysis parameters"), row);
    auto* grid = new QGridLayout(parameters);
    EditF0 =
        NumberEdit("EditF0", "Centre frequency of physiological rhythm to be analysed", parameters);
    EditB = NumberEdit("EditB", "Bandwidth of the analyser", parameters);
    EditFc = NumberEdit("EditFc", "Cut-off frequency of physiological first-order lowpass filter",
                        parameters);
    Editrate = NumberEdit(
        "Editrate", "The fraction of the smoother output that is updated every second", parameters);
    struct TRow {
        const char* Label;
        const char* LabelHint;
        QLineEdit* Edit;
        const char* Unit;
    };
    const TRow rows[] = {
        {"f0", "Centre frequency of physiological rhythm to be analysed", EditF0, "Hz"},
        {"B", "Bandwidth of physiological rhythm to be analysed", EditB, "Hz"},
        {"fc", "Cut-off frequency of physiological first-order lowpass filter", EditFc, "Hz"},
        {"Smootherrate", "The fraction of the smoother that is updated every second", Editrate,
         "/s"},
    };
    int r = 0;
    for (const TRow& item : rows) {
        grid->addWidget(HintLabel(item.Label, item.LabelHint, parameters), r, 0);
        grid->addWidget(item.Edit, r, 1);
        grid->addWidget(HintLabel(item.Unit, nullptr, parameters), r, 2);
        ++r;
    }
    // The undersampling factor has no field: only the command line forces it.
    auto* undersampling = HintLabel("Undersampling",
                                    "The undersampling factor reduces the positive bias caused "
                                    "by anti-aliasing or other lowpass filters",
                                    parameters);
    undersampling->setObjectName(QStringLiteral("LabelUndersampling"));
    undersampling->setVisible(false);
    undersampling->setEnabled(false);
    grid->addWidget(undersampling, r, 0);
    grid->setColumnStretch(3, 1);
    rowLayout->addWidget(parameters, 1);

    auto* presets = new QGroupBox(tr("Set parameters to default"), row);
    auto* presetLayout = new QVBoxLayout(presets);
    ButtonSlowWave = NamedButton("Slow Wave", "ButtonSlowWave", presets);
    ButtonAlpha = NamedButton("Alpha", "ButtonAlpha", presets);
    ButtonSpindles = NamedButton("Spindles", "ButtonSpindles", presets);
    presetLayout->addWidget(ButtonSlowWave);
    presetLayout->addWidget(ButtonAlpha);
    presetLayout->addWidget(ButtonSpindles);
    presetLayout->addStretch();
    rowLayout->addWidget(presets);
    return row;
}

void TMainForm::BuildMenus() {
    QMenu* file = menuBar()->addMenu(tr("&File"));
    QAction* exit = file->addAction(tr("E&xit"));
    exit->setObjectName(QStringLiteral("Exit1"));
    connect(exit, &QAction::triggered, this, &QWidget::close);
    QMenu* help = menuBar()->addMenu(tr("&Help"));
    QAction* about = help->addAction(tr("&About..."));
    about->setObjectName(QStringLiteral("About1"));
    connect(about, &QAction::triggered, this, [this] { Guarded([this] { About1Click(); }); });
}

void TMainForm::ConnectHandlers() {
    connect(SpeedButton1, &QToolButton::clicked, this,
            [this] { Guarded([this] { SpeedButton1Click(); }); });
    connect(SpeedButton2, &QToolButton::clicked, this,
            [this] { Guarded([this] { SpeedButton2Click(); }); });
    connect(EditInFileName, &QLineEdit::textChanged, this,
            [this] { Guarded([this] { EditInFileNameChange(); }); });
    connect(EditSignalNr, &TSpinField::TextChanged, this,
            [this] { Guarded([this] { EditSignalNrChange(); }); });
    connect(EditOutFileName, &QLineEdit::editingFinished, this,
            [this] { Guarded([this] { EditOutFileNameExit(); }); });
    connect(ButtonSlowWave, &QPushButton::clicked, this, [this] { ButtonSlowWaveClick(); });
    connect(ButtonAlpha, &QPushButton::clicked, this, [this] { ButtonAlphaClick(); });
    connect(ButtonSpindles, &QPushButton::clicked, this, [this] { ButtonAlphaClick(); });
    connect(StartButton, &QPushButton::clicked, this,
            [this] { Guarded([this] { StartButtonClick(); }); });
    connect(CancelButton, &QPushButton::clicked, this, &QWidget::close);
}

// ---- Errors and the end of the program ----------------------------------------------------------

template <typename Handler>
void TMainForm::Guarded(Handler handler) {
    try {
        handler();
    } catch (const std::exception& e) {
        GeneralErrorReport(e.what());
    }
}

void TMainForm::GeneralErrorReport(const std::string& text) {
    FDialogs.Error(this, HeaderQ(text));
}

void TMainForm::EchoLine(const std::string& line) {
    MemoProgress->appendPlainText(HeaderQ(line));
}

void TMainForm::Finish(int exitCode) {
    if (FFinished) return;
    FFinished = true;
    FExitCode = exitCode;
    close();
    QCoreApplication::exit(exitCode);
}

void TMainForm::closeEvent(QCloseEvent* event) {
    if (FRunning)
        event->ignore();  // during a run only the progress window's Cancel acts
    else
        event->accept();
}

void TMainForm::keyPressEvent(QKeyEvent* event) {
    // Start is the default button: Return in a field presses it.
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        StartButton->isEnabled() && centralWidget()->isEnabled()) {
        StartButton->click();
        return;
    }
    QMainWindow::keyPressEvent(event);
}

// ---- The command line ---------------------------------------------------------------------------

void TMainForm::FirstIdle() {
    TParseOutcome outcome = TParseOutcome::Completed;
    try {
        outcome = ParseCommandLine(FArgs, *this, FOptions);
    } catch (const std::exception& e) {
        GeneralErrorReport(e.what());  // no run starts
        return;
    }
    if (outcome == TParseOutcome::Usage) {
        ShowUsage();
        Finish(kExitUsage);
        return;
    }
    if (isVisible()) repaint();
}

void TMainForm::ShowUsage() {
    PrintUsage();
    FDialogs.Listing(this, windowTitle(), ToQ(UsageText()));
}

void TMainForm::SetField(TCommandField field, const std::string& text) {
    const QString value = ToQ(text);
    auto setSilently = [&value](QLineEdit* edit) {
        const QSignalBlocker blocker(edit);
        edit->setText(value);
    };
    switch (field) {
        case TCommandField::InputFile:
            setSilently(EditInFileName);
            EditInFileNameChange();
            break;
        case TCommandField::SignalNumber: {
            // The field holds a number: a label is matched here, once the recording is known.
            const TSignalText signal = ResolveSignalText(InputFileText(), text);
            if (!signal.Problem.empty()) throw Exception(signal.Problem);
            EditSignalNr->SetTextSilently(ToQ(signal.Number));
            EditSignalNrChange();
            break;
        }
        case TCommandField::OutputFile:
            setSilently(EditOutFileName);
            EditOutFileNameExit();
            break;
        case TCommandField::F0:
            setSilently(EditF0);
            break;
        case TCommandField::B:
            setSilently(EditB);
            break;
        case TCommandField::Fc:
            setSilently(EditFc);
            break;
        case TCommandField::Rate:
            setSilently(Editrate);
            break;
        case TCommandField::LP:
            setSilently(EditLP);
            break;
        case TCommandField::HP:
            setSilently(EditHP);
            break;
    }
}

void TMainForm::AppendLine(const std::string& line) {
    FProgressList.Append(line);
}

// ---- Browsing files and signals -----------------------------------------------------------------

std::string TMainForm::InputFileText() const {
    return FromQ(EditInFileName->text());
}

std::string TMainForm::OutputFileText() const {
    return FromQ(EditOutFileName->text());
}

void TMainForm::SpeedButton1Click() {
    const QString name = FDialogs.ChooseFile(this, EditInFileName->text(), tr(kInputFilter), true);
    if (!name.isEmpty()) EditInFileName->setText(name);
}

void TMainForm::SpeedButton2Click() {
    const QString name =
        FDialogs.ChooseFile(this, EditOutFileName->text(), tr(kResultsFilter), false);
    if (!name.isEmpty()) EditOutFileName->setText(name);
}

void TMainForm::ClearRecordingFacts() {
    LabelSignalName->setText(tr(kNoValidFile));
    LabelFilterSettings->clear();
    EditLP->clear();
    EditHP->clear();
    FSampleFrequency = 0;
}

void TMainForm::EditInFileNameChange() {
    // Whatever the new name is, the previous recording's signal, rate and filters must not stay
    // beside it.
    const std::string name = InputFileText();
    if (!RegularFileExists(name)) {
        // Typing on, or a file that is gone: the field as at start.
        ClearRecordingFacts();
        EditSignalNr->SetMaximum(kSignalNumberLimit);
        EditSignalNr->setEnabled(true);
        return;
    }
    TEDFFile file;
    OpenForReading(file, name);  // an error here reaches the general error report
    if (file.IsValid()) {
        EditSignalNr->SetMaximum(file.SignalCount());
        EditSignalNr->setEnabled(true);
        file.SetActive(false);
        EditSignalNrChange();
    } else {
        EditSignalNr->setEnabled(false);
        EditSignalNr->SetMaximum(32767);
        ClearRecordingFacts();
    }
}

void TMainForm::EditSignalNrChange() {
    const std::string text = FromQ(EditSignalNr->Text());
    if (text.empty()) {
        LabelSignalName->clear();
        LabelFilterSettings->clear();
        return;
    }
    if (!IsUsableRecording(InputFileText())) {
        LabelSignalName->setText(tr(kNoValidFile));
        LabelFilterSettings->clear();
        return;
    }
    // A number too large for an integer is out of range like 13 of 12 signals; only a text that
    // is no number at all is a conversion error.
    const bool tooLarge = !IsInt32Text(text) && IsSignalNumberText(text);
    if (!IsInt32Text(text) && !tooLarge)
        throw EConvertError("'" + text + "' is not a valid integer value");
    try {
        const TSignalChoice choice =
            ChooseSignal(InputFileText(), tooLarge ? 0 : StrToInt32Or0(text));
        EditSignalNr->SetMaximum(choice.SignalCount);
        if (!choice.InRange) {
            LabelSignalName->setText(
                tr("SignalNumber out of range (1..%1)").arg(choice.SignalCount));
            LabelFilterSettings->clear();
            return;
        }
        FSampleFrequency = choice.SampleFrequency;
        LabelSignalName->setText(
            QStringLiteral("%1 (%2Hz)")
                .arg(HeaderQ(Trim(choice.Label)), ToQ(FloatToStr(FSampleFrequency))));
        LabelFilterSettings->setText(HeaderQ(Trim(choice.Prefiltering)));
        FillFiltersFromPrefilter(choice.Prefiltering);
    } catch (const std::exception&) {
        // The file went away or its header cannot be read: the labels keep what they showed.
    }
}

void TMainForm::FillFiltersFromPrefilter(const std::string& prefiltering) {
    const TPrefilterValues values = FiltersFromPrefilter(prefiltering);
    EditLP->setText(ToQ(values.LP));
    EditHP->setText(ToQ(values.HP));
}

void TMainForm::EditOutFileNameExit() {
    const std::string completed = CompleteOutputFileName(OutputFileText(), CurrentDirectory());
    if (completed == OutputFileText()) return;
    const QSignalBlocker blocker(EditOutFileName);
    EditOutFileName->setText(ToQ(completed));
}

// ---- Presets --------------------------------------------------------------------------------

void TMainForm::ButtonSlowWaveClick() {
    EditF0->setText(ToQ(FloatToStr(1)));
    EditB->setText(ToQ(FloatToStr(1.5)));
    EditFc->setText(ToQ(FloatToStr(1.8)));
    Editrate->setText(ToQ(FloatToStr(0.01666)));
    StartButton->setFocus();
}

void TMainForm::ButtonAlphaClick() {
    EditF0->clear();
    EditB->setText(ToQ(FloatToStr(3.5)));
    EditFc->setText(ToQ(FloatToStr(1.8)));
    Editrate->clear();
    EditF0->setFocus();
}

void TMainForm::About1Click() {
    TMySplashForm about(TMySplashForm::TMode::About, this);
    about.exec();
}

// ---- Start ----------------------------------------------------------------------------------

void TMainForm::FocusField(TParameterField field) {
    QWidget* widget = nullptr;
    switch (field) {
        case TParameterField::InputFile:
            widget = EditInFileName;
            break;
        case TParameterField::OutputFile:
            widget = EditOutFileName;
            break;
        case TParameterField::SignalNumber:
            widget = EditSignalNr;
            break;
        case TParameterField::LP:
            widget = EditLP;
            break;
        case TParameterField::HP:
            widget = EditHP;
            break;
        case TParameterField::F0:
            widget = EditF0;
            break;
        case TParameterField::B:
            widget = EditB;
            break;
        case TParameterField::Fc:
            widget = EditFc;
            break;
        case TParameterField::Rate:
            widget = Editrate;
            break;
        case TParameterField::None:
            return;
    }
    if (!isActiveWindow()) activateWindow();
    widget->setFocus();
}

bool TMainForm::CheckParameters() {
    TParameterFields fields;
    fields.InputFileName = InputFileText();
    fields.OutputFileName = OutputFileText();
    fields.SignalNumber = FromQ(EditSignalNr->Text());
    fields.LP = FromQ(EditLP->text());
    fields.HP = FromQ(EditHP->text());
    fields.F0 = FromQ(EditF0->text());
    fields.B = FromQ(EditB->text());
    fields.Fc = FromQ(EditFc->text());
    fields.Rate = FromQ(Editrate->text());
    fields.SignalCount = EditSignalNr->Maximum();
    fields.SampleFrequency = FSampleFrequency;
    fields.UndersamplingFactor = FOptions.UndersamplingFactor;
    const TParameterCheck check = CheckParameterFields(fields, false, &FProgressList);
    if (!check.Ok) {
        if (!check.FieldMessage.empty()) FDialogs.Error(this, ToQ(check.FieldMessage));
        FocusField(check.Focus);
        return false;
    }
    FLP = check.LP;
    FHP = check.HP;
    FF0 = check.F0;
    FB = check.B;
    FFc = check.Fc;
    FSmootherRate = check.Rate;
    FOptions.UndersamplingFactor = check.UndersamplingFactor;
    return true;
}

void TMainForm::Refuse(const std::string& text, QWidget* focus) {
    FDialogs.Error(this, ToQ(text));
    if (focus) focus->setFocus();
}

bool TMainForm::RefusedBeforeStart() {
    if (const std::string problem = ResultsNameProblem(OutputFileText()); !problem.empty()) {
        Refuse(problem, EditOutFileName);
        return true;
    }
    const TFileRefusal refusal = CollidingFiles(Trim(InputFileText()), Trim(OutputFileText()),
                                                false, FOptions.ExportBmp, FOptions.Picture);
    if (!refusal.Message.empty()) {
        Refuse(refusal.Message, EditOutFileName);
        return true;
    }
    const std::string number = FromQ(EditSignalNr->Text());
    if (IsAnnotationSignal(InputFileText(), number)) {
        Refuse("Signal " + Trim(number) + " is an EDF+ annotation signal", EditSignalNr);
        return true;
    }
    if (const std::string gaps = GapsProblem(InputFileText()); !gaps.empty()) {
        Refuse(gaps, EditInFileName);
        return true;
    }
    return false;
}

void TMainForm::StartButtonClick() {
    if (FRunning || FFinished) return;
    if (RefusedBeforeStart() || !CheckParameters()) return;
    // Nothing is deleted before the parameters passed, and nothing while another run writes
    // the same results file: the lock is held from here until the run has ended.
    const std::string output = OutputFileText();
    const TResultsLock lock(output);
    if (!lock.Problem().empty()) {
        Refuse(lock.Problem(), EditOutFileName);
        return;
    }
    try {
        FHypnogram = NightHypnogram(InputFileText(), FOptions.Hypnogram, FOptions.EpochSeconds);
    } catch (const std::exception& e) {
        Refuse(e.what(), EditInFileName);  // before anything is deleted
        return;
    }
    if (RegularFileExists(output)) {
        if (!FOptions.OverwriteOutput &&
            !FDialogs.Question(this, tr("Confirmation"),
                               tr("Do you want to overwrite the output file %1?").arg(ToQ(output)),
                               false))
            return;
        RemoveEarlierResults(output);  // the outcome is not tested: the run reports what follows
    }
    RunTheAnalysis();
}

void TMainForm::RunTheAnalysis() {
    ApplyEngineSettings(FOptions);
    const int32_t signalIndex = StrToInt32Or0(Trim(FromQ(EditSignalNr->Text()))) - 1;
    const std::string output = OutputFileText();
    FEngineWindows.SetInputFileName(InputFileText());
    FRunning = true;
    // Disabled from Start to the end of the program: the run's boxes and the last one must not
    // show a Start button that seems to work behind them.
    const TMainWindowDisabler disabled;
    TRunCircumstances circumstances;
    circumstances.CommandLine.push_back(kProgramName);
    circumstances.CommandLine.insert(circumstances.CommandLine.end(), FArgs.begin(), FArgs.end());
    circumstances.Started = FStarted;
    circumstances.LP = FLP;
    circumstances.HP = FHP;
    circumstances.Hypnogram = FHypnogram;
    std::function<void(const TRunRecord&)> picture;
    if (FOptions.Picture)
        picture = [&output, this](const TRunRecord& record) {
            WriteRunPicture(record, output, RunFiles(output, CurrentDirectory()).Picture,
                            FHypnogram);
        };
    const TRunOutputs outputs(circumstances, picture);
    bool completed = false;
    try {
        completed = RunAnalysis(InputFileText(), signalIndex, output, FF0, FB, FFc, FSmootherRate,
                                FOptions.UndersamplingFactor, false, FOptions.PrintPiB,
                                FOptions.ExportBmp, &FProgressList);
    } catch (const std::exception& e) {
        FDialogs.Error(this, ToQ(e.what()));
    }
    // The results file of a run that stopped stays for a later look or a resumed cohort.
    if (!completed && IsIncompleteResultsFile(output))
        FDialogs.Information(this, windowTitle(),
                             tr("The results file %1 is incomplete and was kept").arg(ToQ(output)));
    FRunning = false;
    Finish(kExitOk);  // one analysis per program run, whatever its outcome
}

}  // namespace vantrel
