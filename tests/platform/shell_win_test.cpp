// The system shell on Windows. Only what opens nothing can be tried here: a document that is
// not there must fail quietly (no error box, thanks to SEE_MASK_FLAG_NO_UI).
#include <gtest/gtest.h>

#include "platform/shell.h"
#include "platform/temp_folder.h"

namespace melvane {
namespace {

TEST(WindowsShell, MissingDocumentFailsWithoutABox) {
    TempFolder folder("shell");
    EXPECT_FALSE(CreateSystemShell()->OpenDocument(folder.Path() / L"Lied+2 \u00e4.odt"));
}

}  // namespace
}  // namespace melvane
