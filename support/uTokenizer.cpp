#include "support/uTokenizer.h"

#include <cctype>
#include <utility>

namespace vantrel {

namespace {

char UpperAscii(char ch) {
    return static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
}

bool IsQuote(char ch) {
    return ch == '\'' || ch == '"';
}

// The code of a run of `length` copies of an upper-case pattern letter.
int LetterRunCode(char letter, size_t length) {
    // First code of the letter's run of 1 and the longest run it allows.
    auto ranged = [length](int first, size_t longest) {
        return length <= longest ? first + static_cast<int>(length) - 1 : dtInvalid;
    };
    switch (letter) {
        case 'C':
            return ranged(dtDateTimeFormat, 1);
        case 'D':
            return ranged(dtDay, 7);
        case 'M':
            return ranged(dtMonth, 4);
        case 'H':
            return ranged(dtHour, 2);
        case 'N':
            return ranged(dtMinute, 2);
        case 'S':
            return ranged(dtSecond, 5);
        case 'T':
            return ranged(dtShortTimeFormat, 2);
        case 'Y':
            return length == 2 ? dtYear2 : length == 4 ? dtYear4 : dtInvalid;
        case 'Z':
            return length == 1 ? dtMillisecond : length == 3 ? dtMillisecond3 : dtInvalid;
        default:
            return dtLiteral;
    }
}

}  // namespace

// ---- TStringTokenizer ---------------------------------------------------------------------

TStringTokenizer::TStringTokenizer(std::string text, std::string delimiters)
    : text_(std::move(text)), delimiters_(std::move(delimiters)) {}

void TStringTokenizer::SetText(std::string text) {
    text_ = std::move(text);
    position_ = 0;
}

bool TStringTokenizer::Next(TStringToken& token) {
    if (AtEnd()) return false;
    return ReadToken(token);
}

std::vector<TStringToken> TStringTokenizer::Remaining() {
    std::vector<TStringToken> tokens;
    TStringToken token;
    while (Next(token))
        tokens.push_back(token);
    return tokens;
}

bool TStringTokenizer::ReadToken(TStringToken& token) {
    const size_t start = text_.find_first_not_of(delimiters_, position_);
    if (start == std::string::npos) {
        position_ = text_.size();
        return false;
    }
    size_t end = text_.find_first_of(delimiters_, start);
    if (end == std::string::npos) end = text_.size();
    position_ = start;
    token = Take(end - start, 0);
    return true;
}

char TStringTokenizer::Peek(size_t offset) const {
    const size_t at = position_ + offset;
    return at < text_.size() ? text_[at] : '\0';
}

size_t TStringTokenizer::RunLength() const {
    if (AtEnd()) return 0;
    const char first = UpperAscii(text_[position_]);
    size_t length = 1;
    while (position_ + length < text_.size() && UpperAscii(text_[position_ + length]) == first)
        ++length;
    return length;
}

bool TStringTokenizer::StartsWithNoCase(const std::string& word) const {
    if (text_.size() - position_ < word.size()) return false;
    for (size_t i = 0; i < word.size(); ++i)
        if (UpperAscii(text_[position_ + i]) != UpperAscii(word[i])) return false;
    return true;
}

TStringToken TStringTokenizer::Take(size_t length, int code) {
    TStringToken token;
    token.Code = code;
    token.Position = position_;
    token.Text = text_.substr(position_, length);
    token.Value = token.Text;
    position_ += token.Text.size();
    return token;
}

TStringToken TStringTokenizer::TakeQuoted(int code) {
    const char quote = Peek();
    const size_t closing = text_.find(quote, position_ + 1);
    const size_t length =
        closing == std::string::npos ? text_.size() - position_ : closing - position_ + 1;
    TStringToken token = Take(length, code);
    const size_t inner = closing == std::string::npos ? token.Text.size() - 1 : length - 2;
    token.Value = token.Text.substr(1, inner);
    return token;
}

// ---- TDateTimeFormatTokenizer -------------------------------------------------------------

TDateTimeFormatTokenizer::TDateTimeFormatTokenizer(std::string pattern)
    : TStringTokenizer(std::move(pattern), {}) {}

bool TDateTimeFormatTokenizer::ReadToken(TStringToken& token) {
    if (AtEnd()) return false;
    const char ch = Peek();
    if (std::isalpha(static_cast<unsigned char>(ch))) {
        token = UpperAscii(ch) == 'A' ? ReadAmPmForm() : ReadLetterRun();
    } else if (IsQuote(ch)) {
        token = TakeQuoted(dtLiteral);
    } else if (ch == '/') {
        token = Take(1, dtDateSeparator);
    } else if (ch == ':') {
        token = Take(1, dtTimeSeparator);
    } else if (ch == '?') {
        token = Take(1, dtAnyChar);
    } else {
        token = Take(1, dtLiteral);
    }
    return true;
}

TStringToken TDateTimeFormatTokenizer::ReadLetterRun() {
    const size_t length = RunLength();
    return Take(length, LetterRunCode(UpperAscii(Peek()), length));
}

TStringToken TDateTimeFormatTokenizer::ReadAmPmForm() {
    // The longer "am/pm" is tried before "ampm" so that neither hides the other.
    if (StartsWithNoCase("AM/PM")) return Take(5, dtAmPm);
    if (StartsWithNoCase("A/P")) return Take(3, dtAP);
    if (StartsWithNoCase("AMPM")) return Take(4, dtLocaleAmPm);
    return Take(RunLength(), dtInvalid);
}

std::vector<TStringToken> TokenizeDateTimePattern(const std::string& pattern) {
    TDateTimeFormatTokenizer tokenizer(pattern);
    return tokenizer.Remaining();
}

}  // namespace vantrel
