// Entry point; the entry sequence lives in startup.cpp.
int main()
{
    return 0;
}
