#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "com/automation.h"
#include "com/last_error.h"
#include "tests/com/com_test_support.h"
#include "tests/com/dispatch_object.h"

namespace melvane {
namespace {

using testing::CheckedAllocator;
using testing::DispatchObject;
using testing::Invocation;
using testing::ReceivedCall;

constexpr WORD kCallFlags = DISPATCH_METHOD | DISPATCH_PROPERTYGET;

// A small object model in the shape the Word path uses: an application with documents, a
// document with paragraphs and their ranges.
class Dispatch : public ::testing::Test {
  protected:
    void SetUp() override {
        range_->AddStringProperty(L"Text", L"second");
        paragraph_->AddObject(L"Range", range_.Get());
        paragraphs_->AddIntegerProperty(L"Count", 2);

        document_->AddStringProperty(L"Name", L"Song.docx");
        document_->AddMember(L"Paragraphs", [this](Invocation& call) -> HRESULT {
            IDispatch* answer = call.parameters->cArgs == 0 ? paragraphs_.Get() : paragraph_.Get();
            answer->AddRef();
            call.result->vt = VT_DISPATCH;
            call.result->pdispVal = answer;
            return S_OK;
        });

        documents_->AddIntegerProperty(L"Count", 3);
        documents_->AddMember(L"Open", [this](Invocation& call) -> HRESULT {
            if (call.parameters->cArgs != 1) {
                return DISP_E_BADPARAMCOUNT;
            }
            document_->AddRef();
            call.result->vt = VT_DISPATCH;
            call.result->pdispVal = document_.Get();
            return S_OK;
        });

        VARIANT hidden{};
        hidden.vt = VT_BOOL;
        hidden.boolVal = VARIANT_FALSE;
        root_->AddProperty(L"Visible", hidden);
        root_->AddProperty(L"Target", VARIANT{});
        root_->AddStringProperty(L"Name", L"Root");
        root_->AddStringProperty(L"Digits", L"123");
        VARIANT big{};
        big.vt = VT_I8;
        big.llVal = 5'000'000'000LL;
        root_->AddProperty(L"Big", big);
        root_->AddObject(L"Documents", documents_.Get());
        root_->AddObject(L"ActiveDocument", document_.Get());
        root_->AddObject(L"Nothing", nullptr);
        for (const wchar_t* name : {L"Quit", L"SaveAs", L"Echo"}) {
            root_->AddMember(name, [](Invocation&) { return S_OK; });
        }
        root_->AddMember(L"Item", [](Invocation& call) -> HRESULT {
            return call.parameters->cArgs == 2 ? S_OK : DISP_E_BADPARAMCOUNT;
        });
        root_->AddMember(L"Strict", [](Invocation& call) -> HRESULT {
            return call.parameters->cArgs == 1 ? S_OK : DISP_E_BADPARAMCOUNT;
        });
        root_->AddThrowingMember(L"Fail", L"The disk is full.");
        root_->AddThrowingMember(L"FailQuietly", L"");
        root_->AddThrowingMember(L"FailLater", L"Saved later.", true);

        for (DispatchObject* object : Objects()) {
            baseline_.push_back(object->References());
        }
        liveAtStart_ = CheckedAllocator::Live();
        application_ = AttachAutomationObject(root_.Get());
        ASSERT_TRUE(application_);
    }

    // Whatever a test did, every reference it caused is given back once its handles are gone.
    void TearDown() override {
        application_.reset();
        std::vector<DispatchObject*> objects = Objects();
        for (size_t i = 0; i < objects.size(); ++i) {
            EXPECT_EQ(objects[i]->References(), baseline_[i]) << "object " << i;
            objects[i]->ClearCalls();  // the records hold copies of the texts received
        }
        EXPECT_EQ(CheckedAllocator::Live(), liveAtStart_) << "task memory leaked";
    }

    std::vector<DispatchObject*> Objects() {
        return {root_.Get(),       documents_.Get(), document_.Get(),
                paragraphs_.Get(), paragraph_.Get(), range_.Get()};
    }

    // Expects the last result to be the code with its text.
    static void ExpectLastResult(HRESULT code) {
        EXPECT_EQ(LastErrorCode(), code);
        EXPECT_EQ(LastErrorText(), ResultText(code));
    }

    ComPtr<DispatchObject> root_ = DispatchObject::Create();
    ComPtr<DispatchObject> documents_ = DispatchObject::Create();
    ComPtr<DispatchObject> document_ = DispatchObject::Create();
    ComPtr<DispatchObject> paragraphs_ = DispatchObject::Create();
    ComPtr<DispatchObject> paragraph_ = DispatchObject::Create();
    ComPtr<DispatchObject> range_ = DispatchObject::Create();
    AutomationHandlePtr application_;

  private:
    std::vector<ULONG> baseline_;
    long liveAtStart_ = 0;
};

TEST_F(Dispatch, EachComponentIsAppliedToTheObjectBeforeIt) {
    EXPECT_EQ(application_->QueryText(L"ActiveDocument\\Name"), L"Song.docx");
    EXPECT_EQ(application_->QueryInteger(L"Documents\\Count"), 3);
    EXPECT_EQ(application_->QueryText(L"ActiveDocument\\Paragraphs('2')\\Range\\Text"), L"second");
    ExpectLastResult(S_OK);
    EXPECT_EQ(LastErrorText(), L"Okay.");

    AutomationHandlePtr document =
        application_->QueryObject(L"Documents\\Open('C:\\Songs\\Song.docx')", nullptr, VT_DISPATCH);
    ASSERT_TRUE(document);
    EXPECT_EQ(document->Dispatch(), static_cast<IDispatch*>(document_.Get()));
    const ReceivedCall& open = documents_->Calls().back();
    EXPECT_EQ(open.member, L"Open");
    EXPECT_EQ(open.flags, kCallFlags);
    ASSERT_EQ(open.arguments.size(), 1u);
    EXPECT_EQ(open.arguments[0].Text(), L"C:\\Songs\\Song.docx");
    // Components ahead of the last are read as properties or calls, with no arguments here.
    EXPECT_EQ(root_->Calls().back().member, L"Documents");
    EXPECT_EQ(root_->Calls().back().flags, kCallFlags);

    // The new handle works on its own object.
    EXPECT_EQ(document->QueryInteger(L"Paragraphs\\Count"), 2);
    AutomationHandlePtr range = document->QueryObject(L"Paragraphs('1')\\Range");
    ASSERT_TRUE(range);
    EXPECT_EQ(range->QueryText(L"Text"), L"second");
}

TEST_F(Dispatch, ArgumentsArriveInInvokeOrderWithTheirTypes) {
    ASSERT_EQ(application_->CallMethod(L"SaveAs('C:\\out.docx', 16 As Long)"), S_OK);
    const ReceivedCall& saveAs = root_->Calls().back();
    EXPECT_EQ(saveAs.member, L"SaveAs");
    EXPECT_EQ(saveAs.flags, kCallFlags);
    EXPECT_TRUE(saveAs.namedArguments.empty());
    ASSERT_EQ(saveAs.arguments.size(), 2u);
    EXPECT_EQ(saveAs.arguments[0].Type(), VT_I4);
    EXPECT_EQ(saveAs.arguments[0].Value().lVal, 16);
    EXPECT_EQ(saveAs.arguments[1].Text(), L"C:\\out.docx");

    ASSERT_EQ(application_->CallMethod(L"Quit(0 As Long)"), S_OK);
    ASSERT_EQ(root_->Calls().back().arguments.size(), 1u);
    EXPECT_EQ(root_->Calls().back().arguments[0].Type(), VT_I4);

    ASSERT_EQ(application_->CallMethod(L"Echo(#empty, #true, 2.5, 'x', 7 as double, 300)"), S_OK);
    const ReceivedCall& echo = root_->Calls().back();
    const VARTYPE expected[] = {VT_I2, VT_R8, VT_BSTR, VT_R8, VT_BOOL, VT_ERROR};
    ASSERT_EQ(echo.arguments.size(), std::size(expected));
    for (size_t i = 0; i < std::size(expected); ++i) {
        EXPECT_EQ(echo.arguments[i].Type(), expected[i]) << "rgvarg " << i;
    }
    EXPECT_EQ(echo.arguments[5].Value().scode, DISP_E_PARAMNOTFOUND);
}

TEST_F(Dispatch, AssignmentIsAPropertyPutWithTheNamedArgument) {
    ASSERT_EQ(application_->AssignProperty(L"Visible = #True"), S_OK);
    const ReceivedCall& put = root_->Calls().back();
    EXPECT_EQ(put.flags, DISPATCH_PROPERTYPUT);
    ASSERT_EQ(put.namedArguments.size(), 1u);
    EXPECT_EQ(put.namedArguments[0], DISPID_PROPERTYPUT);
    ASSERT_EQ(put.arguments.size(), 1u);
    EXPECT_EQ(put.arguments[0].Type(), VT_BOOL);
    EXPECT_EQ(root_->Property(L"Visible").boolVal, VARIANT_TRUE);
    EXPECT_EQ(application_->QueryInteger(L"Visible"), -1);

    // An indexed property: the value first in Invoke's order, where the named argument points.
    ASSERT_EQ(application_->AssignProperty(L"Item(2) = 'x'"), S_OK);
    const ReceivedCall& item = root_->Calls().back();
    ASSERT_EQ(item.arguments.size(), 2u);
    EXPECT_EQ(item.arguments[0].Text(), L"x");
    EXPECT_EQ(item.arguments[1].Type(), VT_I1);

    // Through a path only the last component is assigned.
    ASSERT_EQ(application_->AssignProperty(L"ActiveDocument\\Name = 'New.docx'"), S_OK);
    EXPECT_EQ(root_->Calls().back().flags, kCallFlags);
    EXPECT_EQ(application_->QueryText(L"ActiveDocument\\Name"), L"New.docx");
}

TEST_F(Dispatch, OperationMustFitTheCommand) {
    EXPECT_EQ(application_->CallMethod(L"Visible = #True"), E_INVALIDARG);
    ExpectLastResult(E_INVALIDARG);
    EXPECT_EQ(application_->AssignProperty(L"Visible"), E_INVALIDARG);
    EXPECT_EQ(application_->QueryText(L"Name = 'x'"), L"");
    EXPECT_TRUE(root_->Calls().empty());

    EXPECT_EQ(application_->CallMethod(L"Name("), E_INVALIDARG);
    ExpectLastResult(E_INVALIDARG);
    EXPECT_EQ(
        application_->CallMethod(L"Echo(1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20,21)"),
        E_OUTOFMEMORY);
    EXPECT_NE(LastErrorText().find(L"maximum of 20 arguments"), std::wstring::npos);
    EXPECT_TRUE(root_->Calls().empty());
}

TEST_F(Dispatch, UnknownMember) {
    EXPECT_EQ(application_->CallMethod(L"Nope"), DISP_E_UNKNOWNNAME);
    ExpectLastResult(DISP_E_UNKNOWNNAME);
    EXPECT_EQ(LastErrorText(), L"Method/property not supported by this object.");
    // In the middle of a path: the objects already reached are released again.
    EXPECT_EQ(application_->QueryInteger(L"ActiveDocument\\Nope\\Count"), 0);
    ExpectLastResult(DISP_E_UNKNOWNNAME);
}

TEST_F(Dispatch, BadParameterCount) {
    EXPECT_EQ(application_->CallMethod(L"Strict(1, 2)"), DISP_E_BADPARAMCOUNT);
    ExpectLastResult(DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(LastErrorText(), L"Invalid number of method/property parameters.");
    EXPECT_EQ(application_->CallMethod(L"Strict(1)"), S_OK);
    ExpectLastResult(S_OK);
}

TEST_F(Dispatch, ServerExceptionsCarryTheirDescription) {
    EXPECT_EQ(application_->CallMethod(L"Fail"), DISP_E_EXCEPTION);
    EXPECT_EQ(LastErrorCode(), DISP_E_EXCEPTION);
    EXPECT_EQ(LastErrorText(), L"The disk is full.");

    EXPECT_EQ(application_->QueryText(L"FailQuietly"), L"");
    EXPECT_EQ(LastErrorCode(), DISP_E_EXCEPTION);
    EXPECT_EQ(LastErrorText(),
              L"An exception occurred during the execution of this method/property.");

    // A server may fill the description in only when asked.
    EXPECT_EQ(application_->CallMethod(L"FailLater"), DISP_E_EXCEPTION);
    EXPECT_EQ(LastErrorText(), L"Saved later.");
}

TEST_F(Dispatch, QueriesGiveNothingOnFailureAndRecordWhy) {
    EXPECT_EQ(application_->QueryInteger(L"Nope"), 0);
    ExpectLastResult(DISP_E_UNKNOWNNAME);
    EXPECT_EQ(application_->QueryInteger(L"Name"), 0);  // "Root" is no number
    ExpectLastResult(DISP_E_TYPEMISMATCH);
    EXPECT_EQ(application_->QueryText(L"Nope"), L"");
    ExpectLastResult(DISP_E_UNKNOWNNAME);
    EXPECT_EQ(application_->QueryText(L"Name\\Length"), L"");  // a text has no members
    ExpectLastResult(DISP_E_TYPEMISMATCH);
    EXPECT_FALSE(application_->QueryObject(L"Name"));
    ExpectLastResult(DISP_E_TYPEMISMATCH);
    EXPECT_FALSE(application_->QueryObject(L"Nothing"));
    ExpectLastResult(E_POINTER);
    EXPECT_FALSE(application_->QueryObject(L"Nothing\\Count"));
    ExpectLastResult(E_POINTER);
    EXPECT_FALSE(application_->QueryObject(L"Documents", nullptr, VT_I4));
    ExpectLastResult(E_INVALIDARG);

    // A success afterwards clears the record.
    EXPECT_EQ(application_->QueryInteger(L"Big"), 5'000'000'000LL);
    ExpectLastResult(S_OK);
}

TEST_F(Dispatch, ResultsAreConvertedToTheAskedKind) {
    EXPECT_EQ(application_->QueryInteger(L"Digits"), 123);
    EXPECT_EQ(application_->QueryText(L"Documents\\Count"), L"3");
    AutomationHandlePtr viaUnknown =
        application_->QueryObject(L"ActiveDocument", nullptr, VT_UNKNOWN);
    ASSERT_TRUE(viaUnknown);
    EXPECT_EQ(viaUnknown->Dispatch(), static_cast<IDispatch*>(document_.Get()));
}

TEST_F(Dispatch, PreParsedStatementStaysTheCallers) {
    ParsedStatement* raw = nullptr;
    ASSERT_EQ(ParseCommand(L"Quit(0 As Long)", &raw), S_OK);
    StatementPtr statement(raw);
    EXPECT_EQ(application_->CallMethod(L"not parsed", statement.get()), S_OK);
    EXPECT_EQ(application_->CallMethod(L"", statement.get()), S_OK);
    ASSERT_EQ(root_->Calls().size(), 2u);
    EXPECT_EQ(root_->Calls()[1].member, L"Quit");
    EXPECT_EQ(statement->components[0].argumentCount, 1);
}

TEST_F(Dispatch, HandlesPassedAsArguments) {
    AutomationHandlePtr document = application_->QueryObject(L"ActiveDocument");
    ASSERT_TRUE(document);
    const std::wstring address = std::to_wstring(reinterpret_cast<std::uintptr_t>(document.get()));
    ASSERT_EQ(application_->AssignProperty(L"Target = " + address + L" as automationobject"), S_OK);
    EXPECT_EQ(root_->Property(L"Target").vt, VT_DISPATCH);
    EXPECT_EQ(root_->Property(L"Target").pdispVal, static_cast<IDispatch*>(document_.Get()));
    ASSERT_EQ(application_->AssignProperty(L"Target = #empty"), S_OK);  // gives the reference back
}

TEST_F(Dispatch, AttachingNothingGivesNoHandle) {
    EXPECT_FALSE(AttachAutomationObject(nullptr));
    ExpectLastResult(E_POINTER);
}

}  // namespace
}  // namespace melvane
