// The hidden application main form. It is never shown; because it, and not
// the real main window, is the application's main form, hiding or closing
// the main window never ends the process by itself.
#pragma once

#include "win/UForm.h"

class TDummyMainForm : public TForm {
public:
    TDummyMainForm();
};
