#include "install_choices.h"

InstallChoices& Choices() {
    static InstallChoices choices;
    return choices;
}
