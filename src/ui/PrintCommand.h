#pragma once

class Form1;
class Form2;
struct Services;

// The "stampa" command: one page of the selected slip model on the default printer.
class PrintCommand
{
public:
    PrintCommand(Form1& slip, Form2& palette, Services& services);
    void run();

private:
    Form1& m_slip;
    Form2& m_palette;
    Services& m_services;
};
