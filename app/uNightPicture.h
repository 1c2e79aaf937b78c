// The night's picture: one PNG image of a whole night, to see at a glance whether the MC trace
// follows the hypnogram, where the artifacts are and whether piB landed on the histogram's base.
// Panels share one clock-time axis over the night: the hypnogram (when one is known), SU, SS,
// SSP and SS0 on a signed logarithmic scale, and MC with its events and MC-Jump runs; artifact
// spans are shaded (HF, LF and missing signal, a colour each); beside them the SS - SU histogram
// with the piB marker. The title line names the input, the parameters and the night's numbers.
//
// Drawn with Qt on an image, so that it needs no display (a QGuiApplication on the offscreen
// platform will do); what it shows is worked out in report/uNightPictureData.h.
//
// Example:
//   const TRunRecord record = ReadableResultsRecord("night.cvn");
//   WriteNightPicture("night.cvn", record, PictureStages(record, "", 30), "night.cvn.png");
#pragma once

#include <QFont>
#include <QImage>
#include <QSize>
#include <QString>
#include <optional>
#include <string>
#include <vector>

#include "report/uNightPictureData.h"
#include "support/uExceptions.h"

namespace vantrel {

// A picture that cannot be drawn or written; the message names the file and the reason.
class EPictureError : public Exception {
  public:
    using Exception::Exception;
};

inline constexpr QSize kPictureSize{1600, 1000};

// The title line in `width` pixels of `font`: the details whole, the path shortened in the
// middle ("/data/…/night.edf") as far as needed, never cut off at an end.
QString ElidedTitle(const TPictureTitle& title, const QFont& font, int width);

// The picture of the night.
QImage DrawNightPicture(const TNightPictureData& data, const TRunRecord& record,
                        QSize size = kPictureSize);

// Reads the results file, draws its picture and writes it as PNG to outFile through a temporary
// file (no reader ever sees half a picture), with the title line as its "Title" text. Raises
// EPictureError "Cannot write the picture "<outFile>": <reason>".
void WriteNightPicture(const std::string& resultsFile, const TRunRecord& record,
                       const std::optional<TStagedNight>& stages, const std::string& outFile,
                       QSize size = kPictureSize);

// /PNG at the end of a run: WriteNightPicture with the stages of the run's hypnogram, placed on
// the night's clock as the run record's statistics placed them.
void WriteRunPicture(const TRunRecord& record, const std::string& resultsFile,
                     const std::string& pictureFile, const std::optional<THypnogram>& hypnogram);

// vantrel4 --plot RESULTS [OUT.png] [/HYPNOGRAM:FILE] [/EPOCH=s]: the picture of an existing,
// complete results file with its run record; OUT defaults to "<RESULTS>.png", the hypnogram to
// the one the record names. Needs a QGuiApplication. Exit codes: 0 written, 2 refused (the
// results file, its record or the hypnogram cannot be used; wrong usage), 3 the picture could
// not be written; the reason goes to standard error.
int PlotCommand(const std::vector<std::string>& args);

}  // namespace vantrel
