#include "platform/language.h"

namespace melvane {

Language UserDefaultLanguage() {
    return Language::English;
}

}  // namespace melvane
