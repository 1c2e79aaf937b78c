#include "edf/uSignalLabels.h"

#include "edf/uEDFFile.h"
#include "support/udStr.h"

namespace vantrel {

namespace {

char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}

// Both texts trimmed already.
bool SameLabel(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    return true;
}

// The aliases of a label text, trimmed, empty ones left out; the text after the "label:"
// prefix when it has one.
std::string AliasText(const std::string& text) {
    const std::string trimmed = Trim(text);
    static const std::string kPrefix = "label:";
    if (trimmed.size() >= kPrefix.size() && SameLabel(trimmed.substr(0, kPrefix.size()), kPrefix))
        return Trim(trimmed.substr(kPrefix.size()));
    return trimmed;
}

std::vector<std::string> Aliases(const std::string& aliasText) {
    std::vector<std::string> aliases;
    std::size_t start = 0;
    while (start <= aliasText.size()) {
        std::size_t bar = aliasText.find('|', start);
        if (bar == std::string::npos) bar = aliasText.size();
        const std::string alias = Trim(aliasText.substr(start, bar - start));
        if (!alias.empty()) aliases.push_back(alias);
        start = bar + 1;
    }
    return aliases;
}

std::string Joined(const std::vector<std::string>& parts) {
    std::string text;
    for (const std::string& part : parts)
        text += (text.empty() ? "" : ", ") + part;
    return text;
}

}  // namespace

bool IsSignalNumberText(const std::string& text) {
    const std::string trimmed = Trim(text);
    const std::size_t first = !trimmed.empty() && (trimmed[0] == '-' || trimmed[0] == '+');
    return trimmed.size() > first &&
           trimmed.find_first_not_of("0123456789", first) == std::string::npos;
}

TSignalLabelMatch MatchSignalLabel(const std::vector<TLabelledSignal>& recording,
                                   const std::string& text) {
    const std::string aliasText = AliasText(text);
    TSignalLabelMatch match;
    for (const std::string& alias : Aliases(aliasText)) {
        std::vector<std::string> numbers;
        for (std::size_t k = 0; k < recording.size(); ++k) {
            if (recording[k].Annotation || !SameLabel(Trim(recording[k].Label), alias)) continue;
            if (numbers.empty()) {
                match.Number = static_cast<int32_t>(k + 1);
                match.Label = Trim(recording[k].Label);
            }
            numbers.push_back(std::to_string(k + 1));
        }
        if (numbers.size() == 1) return match;
        if (numbers.size() > 1)
            return {0, "", "Several signals labelled " + alias + ": " + Joined(numbers)};
    }
    std::vector<std::string> labels;
    for (const TLabelledSignal& signal : recording)
        if (!signal.Annotation) labels.push_back(HeaderTextToUtf8(Trim(signal.Label)));
    return {0, "", "No signal labelled " + aliasText + "; the labels are: " + Joined(labels)};
}

TSignalLabelMatch MatchSignalLabel(const TCustomBaseEDFFile& file, const std::string& text) {
    std::vector<TLabelledSignal> recording;
    for (int32_t k = 0; k < file.SignalCount(); ++k)
        recording.push_back({file.Signal(k).Label(), file.Signal(k).IsAnnotation()});
    return MatchSignalLabel(recording, text);
}

}  // namespace vantrel
