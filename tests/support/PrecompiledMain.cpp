// SPDX-License-Identifier: GPL-3.0-or-later
// The program that makes the tests' precompiled headers (tests/CMakeLists.txt); it is never run.
int main()
{
    return 0;
}
