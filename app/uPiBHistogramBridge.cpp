// The one place where the results window joins the engine's window interface.
#include <stdexcept>

#include "app/uQtEngineWindows.h"

#if __has_include("app/FGraphicsResult.h")
#include "app/FGraphicsResult.h"
#define VANTREL_HAVE_RESULTS_WINDOW 1
#endif

namespace vantrel {

void ShowResultsWindow(QWidget* owner, const TPiBHistogramData& data, bool print, bool exportBmp,
                       bool batchMode) {
#ifdef VANTREL_HAVE_RESULTS_WINDOW
    ShowPiBHistogram(owner, data, print, exportBmp, data.Params.OutputFileName, batchMode);
#else
    (void)owner, (void)data, (void)print, (void)exportBmp, (void)batchMode;
    throw std::runtime_error(
        "The piB results window is not available yet in this build (histogram not shown)");
#endif
}

}  // namespace vantrel
