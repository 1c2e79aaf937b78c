// The About window and the splash screen.
#include "app/SplashForm.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>
#include <cmath>

namespace vantrel {

const char* const TMySplashForm::kEdfInfoLink = "https://www.edfplus.info/";

namespace {

// Where the method is looked up: a literature search, since the window names no authors.
const char* const kMethodLink =
    "https://pubmed.ncbi.nlm.nih.gov/?term=microcontinuity+sleep+EEG+analysis";
// Where the project's README lies, relative to the program's folder: beside it, in an installed
// tree (bin/ beside share/doc/), or in the checkout that holds the build folder (build/app/).
const char* const kReadmePlaces[] = {"README.md", "../share/doc/vantrel/README.md",
                                     "../../README.md"};

constexpr int kPictureWidth = 300;
constexpr int kPictureHeight = 290;

QString Link(const QString& url, const QString& text) {
    return QStringLiteral("<a href=\"%1\">%2</a>").arg(url.toHtmlEscaped(), text);
}

QString Link(const char* url, const QString& text) {
    return Link(QString::fromLatin1(url), text);
}

QLabel* TextLine(const QString& html, QWidget* parent) {
    auto* label = new QLabel(html, parent);
    label->setTextFormat(Qt::RichText);
    label->setOpenExternalLinks(true);
    label->setWordWrap(true);
    return label;
}

// An EEG-like trace across the picture: slow waves, a spindle burst and some faster activity.
QPainterPath SleepTrace(double top, double height) {
    QPainterPath path;
    const double middle = top + height / 2;
    for (int x = 0; x <= kPictureWidth; ++x) {
        const double t = x / 40.0;
        const double spindle = std::exp(-std::pow((x - 200) / 25.0, 2)) * std::sin(t * 14.0);
        const double y = middle - height * (0.30 * std::sin(t * 1.1) + 0.12 * std::sin(t * 3.7) +
                                            0.18 * spindle + 0.04 * std::sin(t * 23.0));
        if (x == 0)
            path.moveTo(x, y);
        else
            path.lineTo(x, y);
    }
    return path;
}

}  // namespace

QString TMySplashForm::ReadmePath() {
    const QDir programDir(QCoreApplication::applicationDirPath());
    for (const char* place : kReadmePlaces) {
        const QFileInfo readme(programDir.filePath(QString::fromLatin1(place)));
        if (readme.isFile()) return readme.canonicalFilePath();
    }
    return {};
}

QPixmap TMySplashForm::Picture() {
    QPixmap picture(kPictureWidth, kPictureHeight);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, kPictureHeight);
    sky.setColorAt(0.0, QColor(12, 34, 74));
    sky.setColorAt(1.0, QColor(18, 96, 112));
    painter.fillRect(picture.rect(), sky);
    painter.setPen(QPen(QColor(255, 255, 255, 28), 1));
    for (int x = 0; x < kPictureWidth; x += 25)
        painter.drawLine(x, 0, x, kPictureHeight);
    for (int y = 0; y < kPictureHeight; y += 25)
        painter.drawLine(0, y, kPictureWidth, y);
    painter.setPen(QPen(QColor(120, 220, 255, 110), 1.5));
    painter.drawPath(SleepTrace(40, 80));
    painter.setPen(QPen(QColor(255, 210, 120), 2.2));
    painter.drawPath(SleepTrace(70, 110));

    QFont font = painter.font();
    font.setBold(true);
    font.setPixelSize(54);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(QRect(0, kPictureHeight - 100, kPictureWidth, 80), Qt::AlignCenter,
                     QStringLiteral("Vantrel4"));
    return picture;
}

TMySplashForm::TMySplashForm(TMode mode, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("MySplashForm"));
    auto* image = new QLabel(this);
    image->setObjectName(QStringLiteral("ImagePicture"));
    image->setPixmap(Picture());
    auto* layout = new QHBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addWidget(image, 0, Qt::AlignTop);
    if (mode == TMode::Splash) {
        setWindowFlags(Qt::SplashScreen | Qt::FramelessWindowHint);
        layout->setContentsMargins(0, 0, 0, 0);
        return;
    }
    setWindowTitle(tr("About"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    layout->addWidget(BuildTexts(), 1);
}

QWidget* TMySplashForm::BuildTexts() {
    auto* texts = new QWidget(this);
    texts->setMinimumWidth(fontMetrics().averageCharWidth() * 56);
    auto* column = new QVBoxLayout(texts);
    auto* description =
        new QLabel(tr("Microcontinuity (MC) analysis of a polygraphic EDF file"), texts);
    QFont bold = description->font();
    bold.setBold(true);
    description->setFont(bold);
    column->addWidget(description);
    column->addSpacing(8);
    QLabel* reference =
        TextLine(tr("Method: the microcontinuity analysis of one sleep EEG rhythm,<br>"
                    "reduced to the per-second quantities SU and SS, with the base<br>"
                    "level piB found from their histogram (journal publication).<br>") +
                     Link(kMethodLink, tr("Find the publication")),
                 texts);
    reference->setWordWrap(false);
    column->addWidget(reference);
    column->addSpacing(8);

    // The icon right after the line it opens, not at the window's far edge.
    auto* edfLine = new QHBoxLayout;
    edfLine->setSpacing(4);
    QLabel* edfText = TextLine(
        tr("Information on the EDF format: ") + Link(kEdfInfoLink, tr("EDF and EDF+")), texts);
    edfText->setWordWrap(false);
    edfLine->addWidget(edfText);
    auto* Image1 = new QToolButton(texts);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setIcon(style()->standardIcon(QStyle::SP_MessageBoxInformation));
    Image1->setAutoRaise(true);
    Image1->setToolTip(QString::fromLatin1(kEdfInfoLink));
    connect(Image1, &QToolButton::clicked, this, &TMySplashForm::Image1Click);
    edfLine->addWidget(Image1);
    edfLine->addStretch(1);
    column->addLayout(edfLine);
    column->addSpacing(8);

    // Questions on the method and on the program: the README describes the analysis, how to run
    // it and what the results file holds.
    const QString readme = ReadmePath();
    QLabel* questions = TextLine(
        tr("Questions on the method and on the program: ") +
            (readme.isEmpty() ? tr("see README.md in the Vantrel sources")
                              : Link(QUrl::fromLocalFile(readme).toString(), tr("README.md"))),
        texts);
    questions->setObjectName(QStringLiteral("LabelQuestions"));
    questions->setToolTip(readme);
    column->addWidget(questions);
    column->addStretch();

    auto* ok = new QPushButton(tr("Ok"), texts);
    ok->setObjectName(QStringLiteral("ButtonOk"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    column->addLayout(buttons);
    return texts;
}

void TMySplashForm::Image1Click() {
    QDesktopServices::openUrl(QUrl(QString::fromLatin1(kEdfInfoLink)));
}

}  // namespace vantrel
