// The one place where the results window joins the engine's window interface.
#include "app/FGraphicsResult.h"
#include "app/uQtEngineWindows.h"

namespace vantrel {

void ShowResultsWindow(QWidget* owner, const TPiBHistogramData& data, bool print, bool exportBmp,
                       bool batchMode) {
    ShowPiBHistogram(owner, data, print, exportBmp, data.Params.OutputFileName, batchMode);
}

}  // namespace vantrel
