// A real shared library for the sandbox test to plant in the home folder: loading it must be refused.
extern "C" int trellick_test_payload()
{
    return 42;
}
