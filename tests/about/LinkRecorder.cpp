// Stands in for the browser and the mail program: about_link_recorder.exe RECORD-FILE ADDRESS

#include <fstream>

int main(int, char** argv) { std::ofstream(argv[1], std::ios::app) << argv[2] << '\n'; }
