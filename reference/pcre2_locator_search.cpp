#include "reference/pcre2_locator_search.h"

#define PCRE2_CODE_UNIT_WIDTH 16
#include <pcre2.h>

#include <new>
#include <stdexcept>
#include <string>

namespace brisvane::reference {

namespace {

template <typename T, void (*Free)(T*)>
struct Pcre2Deleter {
    void operator()(T* object) const { Free(object); }
};
template <typename T, void (*Free)(T*)>
using Pcre2Owner = std::unique_ptr<T, Pcre2Deleter<T, Free>>;

using CompileContext = Pcre2Owner<pcre2_compile_context, pcre2_compile_context_free>;
using Code = Pcre2Owner<pcre2_code, pcre2_code_free>;
using MatchData = Pcre2Owner<pcre2_match_data, pcre2_match_data_free>;
using MatchContext = Pcre2Owner<pcre2_match_context, pcre2_match_context_free>;
using JitStack = Pcre2Owner<pcre2_jit_stack, pcre2_jit_stack_free>;

void ReplaceOnce(Text& text, TextView piece, TextView replacement) {
    const auto at = text.find(piece);
    if (at == Text::npos) {
        throw std::runtime_error("the locator pattern no longer has the expected shape");
    }
    text.replace(at, piece.size(), replacement);
}

// PCRE2 wants the hyphen after \w escaped inside a class; the meaning is the same.
Text PatternFor(LocatorPatternForm form) {
    Text pattern(ShareLocatorPattern);
    if (form == LocatorPatternForm::kLinear) {
        ReplaceOnce(pattern, u"(.+)+", u".+");
    }
    ReplaceOnce(pattern, u"[\\w- ./", u"[\\w\\- ./");
    return pattern;
}

std::string ErrorText(int code) {
    std::u16string message(256, u'\0');
    const int length = pcre2_get_error_message(code, reinterpret_cast<PCRE2_UCHAR*>(message.data()),
                                               message.size());
    std::string ascii;
    for (int i = 0; i < length; ++i) {
        ascii.push_back(static_cast<char>(message[static_cast<std::size_t>(i)] & 0x7F));
    }
    return ascii;
}

}  // namespace

struct Pcre2LocatorSearch::Engine {
    Code code;
    MatchData matchData;
    MatchContext matchContext;
    JitStack jitStack;
    bool jit = false;
};

Pcre2LocatorSearch::Pcre2LocatorSearch(LocatorPatternForm form, bool jit, unsigned matchLimit)
    : pattern_(PatternFor(form)), engine_(std::make_unique<Engine>()) {
    const CompileContext context(pcre2_compile_context_create(nullptr));
    if (!context) {
        throw std::bad_alloc();
    }
    pcre2_set_newline(context.get(), PCRE2_NEWLINE_LF);
    int error = 0;
    PCRE2_SIZE offset = 0;
    engine_->code.reset(pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern_.data()),
                                      pattern_.size(), PCRE2_CASELESS, &error, &offset,
                                      context.get()));
    if (!engine_->code) {
        throw std::runtime_error("pcre2_compile: " + ErrorText(error));
    }
    engine_->matchData.reset(pcre2_match_data_create_from_pattern(engine_->code.get(), nullptr));
    engine_->matchContext.reset(pcre2_match_context_create(nullptr));
    if (!engine_->matchData || !engine_->matchContext) {
        throw std::bad_alloc();
    }
    if (matchLimit != 0) {
        pcre2_set_match_limit(engine_->matchContext.get(), matchLimit);
    }
    if (jit) {
        const int rc = pcre2_jit_compile(engine_->code.get(), PCRE2_JIT_COMPLETE);
        if (rc != 0) {
            throw std::runtime_error("pcre2_jit_compile: " + ErrorText(rc));
        }
        // The default JIT stack (32 KiB on the machine stack) is plenty for this pattern; a
        // larger one keeps a megabyte-long line from ending in a stack-limit error.
        engine_->jitStack.reset(pcre2_jit_stack_create(32 * 1024, 8 * 1024 * 1024, nullptr));
        if (!engine_->jitStack) {
            throw std::bad_alloc();
        }
        pcre2_jit_stack_assign(engine_->matchContext.get(), nullptr, engine_->jitStack.get());
        engine_->jit = true;
    }
}

Pcre2LocatorSearch::~Pcre2LocatorSearch() = default;

std::optional<std::vector<LocatorMatch>> Pcre2LocatorSearch::Matches(TextView text) {
    std::vector<LocatorMatch> matches;
    const auto subject = reinterpret_cast<PCRE2_SPTR>(text.data());
    PCRE2_SIZE from = 0;
    while (from <= text.size()) {
        // pcre2_jit_match skips the interpreter's checks: the fastest way PCRE2 offers.
        const int rc = engine_->jit
                           ? pcre2_jit_match(engine_->code.get(), subject, text.size(), from, 0,
                                             engine_->matchData.get(), engine_->matchContext.get())
                           : pcre2_match(engine_->code.get(), subject, text.size(), from, 0,
                                         engine_->matchData.get(), engine_->matchContext.get());
        if (rc == PCRE2_ERROR_NOMATCH) {
            break;
        }
        if (rc < 0) {
            return std::nullopt;
        }
        const PCRE2_SIZE* ovector = pcre2_get_ovector_pointer(engine_->matchData.get());
        matches.push_back({ovector[0], ovector[1] - ovector[0]});
        from = ovector[1];  // a match always holds "smb://", so it is never empty
    }
    return matches;
}

}  // namespace brisvane::reference
