#include "app/option_dialog_presenter.h"

#include "app/numeric_field.h"

namespace velkor {

bool OptionDialogPresenter::CanConvert(int id) const {
    return CanConvertNumericText(view_.Text(id));
}

void OptionDialogPresenter::Convert(int id) {
    const std::string text = view_.Text(id);
    if (CanConvertNumericText(text)) view_.SetText(id, ConvertNumericText(text));
}

}  // namespace velkor
