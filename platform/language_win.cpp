#include <windows.h>

#include "platform/language.h"

namespace melvane {

Language UserDefaultLanguage() {
    return ChooseLanguage(GetUserDefaultLangID());
}

}  // namespace melvane
