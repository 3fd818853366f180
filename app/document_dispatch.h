// The documents layer as the window reaches it: one request, the services it reports to.
#pragma once

#include "app/controller.h"
#include "chords/note_table.h"
#include "platform/shell.h"
#include "platform/user_messages.h"

namespace melvane {

class DocumentDispatch : public DocumentPaths {
  public:
    DocumentDispatch(const NoteTable& table, UserMessages& messages, Shell& shell)
        : table_(table), messages_(messages), shell_(shell) {}

    Fault Transpose(const TransposeRequest& request) override;
    std::optional<chords::SpelledKey> FirstKey(const std::u16string& source) override;

  private:
    const NoteTable& table_;
    UserMessages& messages_;
    Shell& shell_;
};

}  // namespace melvane
