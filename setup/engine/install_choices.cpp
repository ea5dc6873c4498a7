#include "install_choices.h"

InstallChoices& Choices() {
    static InstallChoices choices;
    return choices;
}

void SetFixedPrinterInfo(InstallChoices& choices) {
    choices.PrinterInfo.Datatype = "RAW";
    choices.PrinterInfo.PortName = "VESK";
    choices.PrinterInfo.PrintProcessor = "Vesk Print Processor";
}
