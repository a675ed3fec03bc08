#include <curl/curl.h>

#include "app/dorvik_lurvane_app.h"

int main(int argc, char** argv) {
    curl_global_init(CURL_GLOBAL_DEFAULT);
    int result = 0;
    {
        CDorvik_LurvaneApp app(argc, argv);
        result = app.InitInstance();
    }
    curl_global_cleanup();
    return result;
}
