#include "app/controller.h"

#include <algorithm>
#include <limits>
#include <system_error>
#include <utility>

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

FocusTarget OptionOf(int spelling) {
    return spelling == kSpellSharps  ? FocusTarget::SharpOption
           : spelling == kSpellFlats ? FocusTarget::FlatOption
                                     : FocusTarget::ByKeyOption;
}

int SpellingOf(FocusTarget option) {
    return option == FocusTarget::SharpOption  ? kSpellSharps
           : option == FocusTarget::FlatOption ? kSpellFlats
                                               : kSpellByKey;
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
    const HotAreas& areas = state_.areas;
    // The remove corner lies inside the drop zone and wins there while a document is chosen.
    const std::pair<const HotArea*, FocusTarget> targets[] = {
        {&areas.removeFile, FocusTarget::RemoveFile},
        {&areas.dropZone, FocusTarget::DropZone},
        {&areas.stepUp, FocusTarget::StepUp},
        {&areas.stepDown, FocusTarget::StepDown},
        {&areas.sharpOption, FocusTarget::SharpOption},
        {&areas.flatOption, FocusTarget::FlatOption},
        {&areas.byKeyOption, FocusTarget::ByKeyOption},
        {&areas.germanFlag, FocusTarget::GermanFlag},
        {&areas.englishFlag, FocusTarget::EnglishFlag},
        {&areas.webLink, FocusTarget::WebLink},
        {&areas.transposeButton, FocusTarget::TransposeButton},
    };
    for (const auto& [area, target] : targets) {
        if (target == FocusTarget::RemoveFile && state_.SourcePath.empty()) {
            continue;
        }
        if (HitTest(*area, x, y)) {
            Press(target);
            return;
        }
    }
}

void Controller::Press(FocusTarget control) {
    switch (control) {
        case FocusTarget::DropZone:
            AskForDocument();
            break;
        case FocusTarget::RemoveFile:
            if (state_.SourcePath.empty()) {
                AskForDocument();
            } else {
                ResetForm();
                MoveFocus(FocusTarget::DropZone);  // the cross it was on is gone
            }
            break;
        case FocusTarget::StepUp:
        case FocusTarget::StepDown:
            CommitStep();
            SetStep(state_.StepValue + (control == FocusTarget::StepUp ? 1 : -1));
            // The arrows keep no focus: Up and Down go on where the value is.
            MoveFocus(FocusTarget::StepField);
            break;
        case FocusTarget::SharpOption:
        case FocusTarget::FlatOption:
        case FocusTarget::ByKeyOption:
            ChooseSpelling(SpellingOf(control));
            break;
        case FocusTarget::GermanFlag:
        case FocusTarget::EnglishFlag:
            state_.UiLanguage =
                control == FocusTarget::GermanFlag ? Language::German : Language::English;
            break;
        case FocusTarget::WebLink:
            services_.shell.OpenWebAddress(std::u16string(kWebAddress));
            break;
        case FocusTarget::TransposeButton:
            Transpose();
            break;
        case FocusTarget::None:
        case FocusTarget::StepField:
        case FocusTarget::OutputNameField:
            return;
    }
    Redraw();
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
    if (state_.focus != FocusTarget::StepField) {
        CommitStep();  // set from outside: shown as it counts at once
        return;
    }
    const std::int64_t value =
        std::clamp(LeadingNumber(services_.stepField.Text()), -kMaxSteps, kMaxSteps);
    if (value != state_.StepValue) {
        const std::int64_t previous = std::exchange(state_.StepValue, value);
        RefreshOutputName(previous);
    }
}

bool Controller::StepFieldTakes(char16_t character) {
    return (character >= u'0' && character <= u'9') || character == u'-' || character == u'+';
}

void Controller::CommitStep() {
    const std::u16string text = services_.stepField.Text();
    const std::int64_t value = std::clamp(LeadingNumber(text), -kMaxSteps, kMaxSteps);
    const std::u16string shown = DecimalText(value);
    // Writing the same text again would only report another change.
    if (shown != text) {
        services_.stepField.SetText(shown);
    }
    if (value != state_.StepValue) {
        const std::int64_t previous = std::exchange(state_.StepValue, value);
        RefreshOutputName(previous);
    }
}

void Controller::HandleDrop(const std::vector<std::u16string>& paths) {
    if (!paths.empty() && ChooseDocument(paths.front())) {
        Redraw();
    }
}

void Controller::OpenAtStart(const std::u16string& path) {
    HandleDrop({path});
}

void Controller::PresetSteps(const std::u16string& text) {
    services_.stepField.SetText(text);
    CommitStep();
    services_.stepField.SelectAll();
}

void Controller::Transpose() {
    CommitStep();
    const Fault fault = TransposeAction();
    switch (fault) {
        case Fault::None:
            ResetForm();
            break;
        case Fault::Source:
            MoveFocus(FocusTarget::DropZone);
            break;
        case Fault::Steps:
            MoveFocus(FocusTarget::StepField);
            break;
        case Fault::OutputName:
            MoveFocus(FocusTarget::OutputNameField);
            break;
        case Fault::Other:
            break;  // the form stays for another try
    }
}

namespace {

// The Tab stops in order, as the state has them now.
std::vector<FocusTarget> TabStops(const ControllerState& state) {
    std::vector<FocusTarget> stops{FocusTarget::DropZone};
    if (!state.SourcePath.empty()) {
        stops.push_back(FocusTarget::RemoveFile);
    }
    stops.push_back(FocusTarget::StepField);
    stops.push_back(OptionOf(state.SpellingChoice));
    stops.push_back(FocusTarget::OutputNameField);
    stops.push_back(FocusTarget::TransposeButton);
    stops.push_back(state.UiLanguage == Language::German ? FocusTarget::GermanFlag
                                                         : FocusTarget::EnglishFlag);
    stops.push_back(FocusTarget::WebLink);
    return stops;
}

bool IsOption(FocusTarget target) {
    return target == FocusTarget::SharpOption || target == FocusTarget::FlatOption ||
           target == FocusTarget::ByKeyOption;
}

// The control a group's arrow keys move to: the next option (the previous when `back`) or the
// other flag; None outside the groups.
FocusTarget NeighbourOf(FocusTarget target, bool back) {
    if (IsOption(target)) {
        const int spelling = SpellingOf(target);
        return OptionOf(back ? (spelling + 2) % 3 : (spelling + 1) % 3);
    }
    switch (target) {
        case FocusTarget::GermanFlag:
            return FocusTarget::EnglishFlag;
        case FocusTarget::EnglishFlag:
            return FocusTarget::GermanFlag;
        default:
            return FocusTarget::None;
    }
}

bool IsField(FocusTarget target) {
    return target == FocusTarget::StepField || target == FocusTarget::OutputNameField;
}

}  // namespace

bool Controller::HandleKey(const KeyPress& press) {
    const bool plain = !press.control && !press.alt;
    const bool german = state_.UiLanguage == Language::German;
    const bool inStepField = state_.focus == FocusTarget::StepField;
    switch (press.key) {
        case Key::Tab: {
            if (!plain)
                return false;
            const std::vector<FocusTarget> stops = TabStops(state_);
            const auto count = static_cast<std::ptrdiff_t>(stops.size());
            // The stop the focus is on, or the one a pair's other half stands for; from
            // nowhere, Tab starts at the first stop and Shift+Tab at the last.
            auto at = std::find(stops.begin(), stops.end(), state_.focus);
            for (bool back : {false, true}) {
                if (at == stops.end()) {
                    at = std::find(stops.begin(), stops.end(), NeighbourOf(state_.focus, back));
                }
            }
            std::ptrdiff_t index = at - stops.begin();
            if (at == stops.end()) {
                index = press.shift ? 0 : count - 1;
                if (state_.focus == FocusTarget::StepUp || state_.focus == FocusTarget::StepDown) {
                    index = std::find(stops.begin(), stops.end(), FocusTarget::StepField) -
                            stops.begin();
                }
            }
            MoveFocus(
                stops[static_cast<std::size_t>((index + (press.shift ? count - 1 : 1)) % count)]);
            return true;
        }
        case Key::Enter:
            if (!plain)
                return false;
            // A focused button does its own work; anywhere else Enter transposes.
            if (IsField(state_.focus) || state_.focus == FocusTarget::None ||
                IsOption(state_.focus)) {
                Transpose();
                Redraw();
            } else {
                Press(state_.focus);
            }
            return true;
        case Key::Space:
            // The focused button is pressed as with the pointer; in a field a space is text.
            if (!plain || IsField(state_.focus) || state_.focus == FocusTarget::None)
                return false;
            Press(state_.focus);
            return true;
        case Key::Escape:
            ResetForm();
            Redraw();
            return true;
        case Key::Up:
        case Key::Down:
        case Key::Left:
        case Key::Right:
        case Key::PageUp:
        case Key::PageDown: {
            if (!plain)
                return false;
            const FocusTarget partner =
                NeighbourOf(state_.focus, press.key == Key::Up || press.key == Key::Left);
            if (partner != FocusTarget::None && press.key != Key::PageUp &&
                press.key != Key::PageDown) {
                // Inside a group the arrows choose the next one, as in a group of options.
                Press(partner);
                MoveFocus(OptionOf(state_.SpellingChoice) == partner || !IsOption(partner)
                              ? partner
                              : state_.focus);
                return true;
            }
            if (!inStepField || press.key == Key::Left || press.key == Key::Right)
                return false;
            const bool up = press.key == Key::Up || press.key == Key::PageUp;
            const bool page = press.key == Key::PageUp || press.key == Key::PageDown;
            CommitStep();
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
                const char16_t keys[] = {german ? u'K' : u'S', german ? u'B' : u'F',
                                         german ? u'N' : u'B'};
                for (int spelling = 0; spelling < 3; ++spelling) {
                    if (press.letter == keys[spelling]) {
                        ChooseSpelling(spelling);
                        Redraw();
                        return true;
                    }
                }
            }
            return false;
    }
    return false;
}

void Controller::FocusChanged(FocusTarget target) {
    if (state_.focus == FocusTarget::StepField && target != FocusTarget::StepField) {
        CommitStep();  // leaving the field settles what was typed
    }
    state_.focus = target;
}

void Controller::MoveFocus(FocusTarget target) {
    FocusChanged(target);
    if (target == FocusTarget::StepField) {
        services_.stepField.Focus();
        services_.stepField.SelectAll();
    } else if (target == FocusTarget::OutputNameField) {
        services_.outputNameField.Focus();
        services_.outputNameField.SelectAll();
    } else if (target != FocusTarget::None) {
        services_.controls.Focus(target);
    }
    Redraw();
}

void Controller::HandleFocus(FocusTarget target) {
    if (state_.focus == target) {
        return;
    }
    FocusChanged(target);
    // Focus by the pointer or by Tab: typing replaces the whole value.
    if (target == FocusTarget::StepField) {
        services_.stepField.SelectAll();
    }
    Redraw();
}

void Controller::ChooseSpelling(int spelling) {
    if (spelling == kSpellByKey && state_.recognition == Recognition::Classic) {
        // The classic scan moves each chord on its own: there is no key to spell by.
        ShowInformation(services_.messages, state_.UiLanguage, Message::ByKeyNeedsSheetAwareWindow);
        return;
    }
    state_.SpellingChoice = spelling;
}

std::u16string KeyLine(const ControllerState& state) {
    if (!state.sheetKey) {
        return {};
    }
    const chords::SpelledKey& from = *state.sheetKey;
    const chords::Key key{chords::PitchOf(from.tonic), from.mode};
    const chords::SpelledKey to =
        chords::TargetKey(key, state.StepValue, from.tonic.accidental > 0);
    return KeyChangeText({from, to, false, false}, state.UiLanguage);
}

void Controller::ShowMnemonics(bool shown) {
    if (state_.showMnemonics != shown) {
        state_.showMnemonics = shown;
        Redraw();
    }
}

bool Controller::ChooseDocument(const std::u16string& path) {
    // The form keeps its document when another kind is offered, and says which kinds it takes.
    if (KindOf(PathFromText(path)) == DocumentKind::Unsupported) {
        services_.messages.Show(
            {MessageText(Message::InformationTitle, state_.UiLanguage),
             MessageText(Message::UnsupportedDocument, state_.UiLanguage, {FilePart(path)}),
             MessageIcon::Information});
        return false;
    }
    state_.SourcePath = path;
    state_.SourceName = FilePart(path);
    state_.sheetKey = services_.documents.FirstKey(path);
    // A new document gets a new proposal, whatever was typed for the last one.
    state_.proposedOutput.clear();
    services_.outputNameField.SetText(u"");
    RefreshOutputName(state_.StepValue);
    MoveFocus(FocusTarget::StepField);  // the next thing to set
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
    const std::int64_t previous =
        std::exchange(state_.StepValue, std::clamp(steps, -kMaxSteps, kMaxSteps));
    services_.stepField.SetText(DecimalText(state_.StepValue));
    RefreshOutputName(previous);
}

void Controller::RefreshOutputName(std::int64_t previousSteps) {
    if (state_.SourcePath.empty()) {
        services_.outputNameField.SetText(u"");
        state_.proposedOutput.clear();
        return;
    }
    const std::u16string proposal =
        PathToText(ProposeOutputPath(PathFromText(state_.SourcePath), state_.StepValue));
    const std::u16string current = services_.outputNameField.Text();
    std::u16string next = proposal;
    // The user's own name stays; only a step marker it kept from a proposal moves.
    if (!current.empty() && current != state_.proposedOutput) {
        const auto moved = MoveStepMarker(PathFromText(current), previousSteps, state_.StepValue);
        next = moved ? PathToText(*moved) : current;
    }
    state_.proposedOutput = proposal;
    if (next != current) {
        services_.outputNameField.SetText(next);
        services_.outputNameField.SelectAll();
    }
    if (state_.sheetKey) {
        Redraw();  // the key the steps lead to, beside them
    }
}

void Controller::ResetForm() {
    state_.SourcePath.clear();
    state_.SourceName.clear();
    state_.OutputPath.clear();
    state_.proposedOutput.clear();
    state_.StepValue = 0;
    state_.SpellingChoice = DefaultSpelling(state_.recognition);
    state_.sheetKey.reset();
    services_.outputNameField.SetText(u"");
    services_.stepField.SetText(u"0");
    if (state_.focus == FocusTarget::RemoveFile ||
        (IsOption(state_.focus) && state_.focus != OptionOf(state_.SpellingChoice))) {
        // Those controls are no stops any more.
        MoveFocus(state_.focus == FocusTarget::RemoveFile ? FocusTarget::DropZone
                                                          : OptionOf(state_.SpellingChoice));
    }
}

// The name as it will be written: the source's extension added where the name has none, and
// asked about where it has another document's. False when the user wants to change the name.
bool Controller::ResolveOutputName() {
    if (state_.OutputPath.empty()) {
        return true;  // the document paths know what an empty name means
    }
    const std::filesystem::path source = PathFromText(state_.SourcePath);
    const std::filesystem::path output = PathFromText(state_.OutputPath);
    const OutputExtension fit = CheckOutputExtension(source, output);
    if (fit == OutputExtension::Fitting) {
        return true;
    }
    const std::u16string fixed = PathToText(WithSourceExtension(source, output));
    if (fit == OutputExtension::OtherDocument) {
        const Language language = state_.UiLanguage;
        const UserMessage question{
            MessageText(Message::QuestionTitle, language),
            MessageText(Message::OutputExtensionQuestion, language,
                        {FilePart(state_.OutputPath), LowerCaseExtension(output),
                         LowerCaseExtension(source), FilePart(fixed)}),
            MessageIcon::Question};
        if (!services_.messages.Ask(question)) {
            return false;
        }
    }
    state_.OutputPath = fixed;
    services_.outputNameField.SetText(fixed);
    return true;
}

Fault Controller::TransposeAction() {
    const Language language = state_.UiLanguage;
    if (state_.SourcePath.empty()) {
        ShowInformation(services_.messages, language, Message::NoSourceChosen);
        return Fault::Source;
    }
    if (state_.StepValue == 0) {
        ShowInformation(services_.messages, language, Message::NoStepValue);
        return Fault::Steps;
    }
    state_.OutputPath = TrimBlanks(services_.outputNameField.Text());
    if (!ResolveOutputName()) {
        return Fault::OutputName;
    }
    TransposeSettings transpose;
    transpose.steps = state_.StepValue;
    transpose.spelling = state_.SpellingChoice;
    transpose.recognition = state_.recognition;
    transpose.germanReader = language == Language::German;
    const TransposeRequest request{state_.SourcePath, state_.OutputPath, transpose, language};
    if (ReplacesAnotherFile(state_.SourcePath, state_.OutputPath) &&
        !services_.messages.Ask(OverwriteQuestion(language, state_.OutputPath))) {
        return Fault::OutputName;  // another name, then
    }
    return services_.documents.Transpose(request);
}

}  // namespace melvane
