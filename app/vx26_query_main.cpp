#include <iostream>

#include "app/query_tool.h"

int main(int argc, char** argv) {
    return app::RunQueryTool({argv + 1, argv + argc}, std::cout, std::cerr);
}
