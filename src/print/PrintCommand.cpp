#include "print/PrintCommand.h"

PrintCommand::PrintCommand(Form1& slip, Form2& palette, Services& services)
    : m_slip(slip), m_palette(palette), m_services(services)
{
}

void PrintCommand::run()
{
}
