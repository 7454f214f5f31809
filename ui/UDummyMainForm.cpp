#include "ui/UDummyMainForm.h"

TDummyMainForm::TDummyMainForm()
{
    TCreateParams p;
    p.ClassName = "TDummyMainForm";
    p.Caption = "DummyMainForm";
    p.ClientWidth = 870;
    p.ClientHeight = 600;
    CreateHandle(p);
}
