#include "app/ui/MainLoop.hpp"
#include "app/ui/Startup.hpp"

int main() {
    return quellwave::ui::runQuellwave(
        {quellwave::ui::openProgramWindow, quellwave::ui::closeProgramWindow, quellwave::ui::runMainLoop});
}
