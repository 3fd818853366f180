#include "app/controller.h"

#include <algorithm>
#include <limits>
#include <system_error>

#include "app/feedback_texts.h"
#include "documents/documents.h"
#include "documents/messages.h"
#include "platform/file_system.h"
#include "platform/utf.h"

namespace melvane {
namespace {

#ifdef _WIN32
constexpr std::u16string_view kSeparators = u"\\/";
#else
constexpr std::u16string_view kSeparators = u"/";
#endif

std::u16string TrimBlanks(std::u16string_view text) {
    const std::size_t first = text.find_first_not_of(u' ');
    if (first == std::u16string_view::npos) {
        return {};
    }
    const std::size_t last = text.find_last_not_of(u' ');
    return std::u16string(text.substr(first, last - first + 1));
}

void ShowInformation(UserMessages& messages, Language language, Message message) {
    messages.Show({MessageText(Message::InformationTitle, language), MessageText(message, language),
                   MessageIcon::Information});
}

// Sets the flag when the point is inside and clears it when outside; true when it changed.
bool TrackHover(HotArea& area, int x, int y) {
    const bool inside = HitTest(area, x, y);
    if (inside == area.hover) {
        return false;
    }
    area.hover = inside;
    return true;
}

// An output that exists already and is not the source (the document paths refuse that one).
bool ReplacesAnotherFile(const std::u16string& source, const std::u16string& output) {
    if (output.empty()) {
        return false;
    }
    const std::filesystem::path target = PathFromText(output);
    std::error_code error;
    return std::filesystem::exists(target, error) && !IsSameFile(PathFromText(source), target);
}

}  // namespace

std::u16string DirectoryPart(std::u16string_view path) {
    const std::size_t separator = path.find_last_of(kSeparators);
    return separator == std::u16string_view::npos ? std::u16string()
                                                  : std::u16string(path.substr(0, separator + 1));
}

std::u16string FilePart(std::u16string_view path) {
    const std::size_t separator = path.find_last_of(kSeparators);
    return std::u16string(separator == std::u16string_view::npos ? path
                                                                 : path.substr(separator + 1));
}

std::int64_t LeadingNumber(std::u16string_view text) {
    std::size_t i = text.find_first_not_of(u" \t");
    if (i == std::u16string_view::npos) {
        return 0;
    }
    bool negative = false;
    if (text[i] == u'-' || text[i] == u'+') {
        negative = text[i] == u'-';
        ++i;
    }
    constexpr std::int64_t kLimit = std::numeric_limits<std::int64_t>::max() / 10 - 1;
    std::int64_t value = 0;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        value = std::min(kLimit, value * 10 + (text[i] - u'0'));
    }
    return negative ? -value : value;
}

Controller::Controller(ControllerState& state, const ControllerServices& services)
    : state_(state), services_(services) {
    state_.areas = LayoutHotAreas(state_.UiLanguage, state_.areas);
}

void Controller::HandleCanvasEvent(CanvasEvent event, int x, int y) {
    if (event == CanvasEvent::LeftClick) {
        HandleClick(x, y);
    } else {
        HandleMove(x, y);
    }
}

void Controller::HandleClick(int x, int y) {
    HotAreas& areas = state_.areas;
    bool changed = false;
    // Each test stands on its own, in this order; only the remove corner and the drop zone
    // (which contains it) exclude each other.
    if (HitTest(areas.stepUp, x, y)) {
        SetStep(state_.StepValue + 1);
        changed = true;
    }
    if (HitTest(areas.stepDown, x, y)) {
        SetStep(state_.StepValue - 1);
        changed = true;
    }
    if (HitTest(areas.sharpOption, x, y)) {
        state_.SpellingChoice = 0;
        changed = true;
    }
    if (HitTest(areas.flatOption, x, y)) {
        state_.SpellingChoice = 1;
        changed = true;
    }
    if (HitTest(areas.germanFlag, x, y)) {
        state_.UiLanguage = Language::German;
        changed = true;
    }
    if (HitTest(areas.englishFlag, x, y)) {
        state_.UiLanguage = Language::English;
        changed = true;
    }
    if (HitTest(areas.webLink, x, y)) {
        services_.shell.OpenWebAddress(std::u16string(kWebAddress));
        changed = true;
    }
    if (HitTest(areas.removeFile, x, y) && !state_.SourcePath.empty()) {
        ResetForm();
        changed = true;
    } else if (HitTest(areas.dropZone, x, y)) {
        AskForDocument();
        changed = true;
    }
    if (HitTest(areas.transposeButton, x, y)) {
        Transpose();
        changed = true;
    }
    // Neither text field keeps the caret after a click on the face.
    services_.focusSink.Focus();
    if (state_.focus != FocusTarget::None) {
        state_.focus = FocusTarget::None;
        changed = true;
    }
    if (changed) {
        Redraw();
    }
}

void Controller::HandleMove(int x, int y) {
    HotAreas& areas = state_.areas;
    bool changed = false;
    for (HotArea* area : {&areas.dropZone, &areas.stepUp, &areas.stepDown, &areas.transposeButton,
                          &areas.webLink}) {
        changed = TrackHover(*area, x, y) || changed;
    }
    if (changed) {
        Redraw();
    }
}

void Controller::HandleWindowPointer(int x, int y) {
    if (TrackHover(state_.areas.dropZone, x, y)) {
        Redraw();
    }
}

void Controller::HandleStepEdit() {
    const std::u16string text = services_.stepField.Text();
    state_.StepValue = std::clamp(LeadingNumber(text), -kMaxSteps, kMaxSteps);
    const std::u16string shown = DecimalText(state_.StepValue);
    // Writing the same text again would only report another change.
    if (shown != text) {
        services_.stepField.SetText(shown);
    }
    RefreshOutputName();
}

void Controller::HandleDrop(const std::vector<std::u16string>& paths) {
    if (!paths.empty() && ChooseDocument(paths.front())) {
        Redraw();
    }
}

void Controller::Transpose() {
    if (TransposeAction()) {
        ResetForm();
    }
}

bool Controller::HandleKey(const KeyPress& press) {
    const bool plain = !press.control && !press.alt;
    const bool german = state_.UiLanguage == Language::German;
    const bool inStepField = state_.focus == FocusTarget::StepField;
    switch (press.key) {
        case Key::Tab: {
            if (!plain)
                return false;
            static constexpr FocusTarget kCycle[] = {
                FocusTarget::StepField, FocusTarget::OutputNameField, FocusTarget::TransposeButton};
            // From nowhere, Tab starts at the first stop and Shift+Tab at the last.
            int at = press.shift ? 0 : 2;
            for (int i = 0; i < 3; ++i) {
                if (kCycle[i] == state_.focus)
                    at = i;
            }
            MoveFocus(kCycle[(at + (press.shift ? 2 : 1)) % 3]);
            return true;
        }
        case Key::Enter:
            if (!plain)
                return false;
            Transpose();
            Redraw();
            return true;
        case Key::Space:
            // The focused button is pressed as with the pointer; in a field a space is text.
            if (!plain || state_.focus != FocusTarget::TransposeButton)
                return false;
            Transpose();
            Redraw();
            return true;
        case Key::Escape:
            ResetForm();
            Redraw();
            return true;
        case Key::Up:
        case Key::Down:
        case Key::PageUp:
        case Key::PageDown: {
            if (!plain || !inStepField)
                return false;
            const bool up = press.key == Key::Up || press.key == Key::PageUp;
            const bool page = press.key == Key::PageUp || press.key == Key::PageDown;
            SetStep(state_.StepValue + (up ? 1 : -1) * (page ? 5 : 1));
            services_.stepField.SelectAll();
            return true;
        }
        case Key::F1:
            services_.shell.OpenWebAddress(std::u16string(kWebAddress));
            return true;
        case Key::Letter:
            if (press.control && !press.alt && press.letter == u'O') {
                AskForDocument();
                Redraw();
                return true;
            }
            if (press.alt && !press.control) {
                // The access keys underlined in the options' pictures.
                const char16_t sharpKey = german ? u'K' : u'S';
                const char16_t flatKey = german ? u'B' : u'F';
                if (press.letter == sharpKey || press.letter == flatKey) {
                    state_.SpellingChoice = press.letter == sharpKey ? 0 : 1;
                    Redraw();
                    return true;
                }
            }
            return false;
    }
    return false;
}

void Controller::MoveFocus(FocusTarget target) {
    state_.focus = target;
    if (target == FocusTarget::StepField) {
        services_.stepField.Focus();
        services_.stepField.SelectAll();
    } else if (target == FocusTarget::OutputNameField) {
        services_.outputNameField.Focus();
        services_.outputNameField.SelectAll();
    } else {
        // The button is drawn, not a control: the hidden field holds the caret meanwhile.
        services_.focusSink.Focus();
    }
    Redraw();
}

void Controller::HandleFocus(FocusTarget target) {
    if (state_.focus != target) {
        state_.focus = target;
        Redraw();
    }
}

void Controller::ShowMnemonics(bool shown) {
    if (state_.showMnemonics != shown) {
        state_.showMnemonics = shown;
        Redraw();
    }
}

bool Controller::ChooseDocument(const std::u16string& path) {
    // Anything the documents layer cannot transpose is ignored; the form keeps its document.
    if (KindOf(PathFromText(path)) == DocumentKind::Unsupported) {
        return false;
    }
    state_.SourcePath = path;
    state_.SourceName = FilePart(path);
    RefreshOutputName();
    return true;
}

void Controller::AskForDocument() {
    const std::u16string title = MessageText(Message::SelectFileTitle, state_.UiLanguage);
    const std::u16string filters = MessageText(Message::FileFilters, state_.UiLanguage);
    const std::u16string chosen =
        services_.fileDialog.AskForFile(title, filters, state_.SourcePath);
    if (!chosen.empty()) {
        ChooseDocument(chosen);
    }
}

void Controller::SetStep(std::int64_t steps) {
    state_.StepValue = std::clamp(steps, -kMaxSteps, kMaxSteps);
    services_.stepField.SetText(DecimalText(state_.StepValue));
    RefreshOutputName();
}

void Controller::RefreshOutputName() {
    if (state_.SourcePath.empty()) {
        services_.outputNameField.SetText(u"");
        return;
    }
    services_.outputNameField.SetText(
        PathToText(ProposeOutputPath(PathFromText(state_.SourcePath), state_.StepValue)));
    services_.outputNameField.SelectAll();
}

void Controller::ResetForm() {
    state_.SourcePath.clear();
    state_.SourceName.clear();
    state_.OutputPath.clear();
    state_.StepValue = 0;
    state_.SpellingChoice = 0;
    services_.outputNameField.SetText(u"");
    services_.stepField.SetText(u"0");
}

bool Controller::TransposeAction() {
    const Language language = state_.UiLanguage;
    if (state_.SourcePath.empty()) {
        ShowInformation(services_.messages, language, Message::NoSourceChosen);
        return false;
    }
    if (state_.StepValue == 0) {
        ShowInformation(services_.messages, language, Message::NoStepValue);
        return false;
    }
    state_.OutputPath = TrimBlanks(services_.outputNameField.Text());
    TransposeSettings transpose;
    transpose.steps = state_.StepValue;
    transpose.spelling = state_.SpellingChoice;
    transpose.recognition = state_.recognition;
    transpose.germanReader = language == Language::German;
    const TransposeRequest request{state_.SourcePath, state_.OutputPath, transpose, language};
    if (ReplacesAnotherFile(state_.SourcePath, state_.OutputPath) &&
        !services_.messages.Ask(OverwriteQuestion(language, state_.OutputPath))) {
        return false;  // the form stays as it is
    }
    services_.documents.Transpose(request);
    return true;
}

}  // namespace melvane
