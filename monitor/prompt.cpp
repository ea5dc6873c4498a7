#include "prompt.h"

namespace {
PromptFunction g_prompt = nullptr;
}

int AskUser(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
    if (PromptFunction p = g_prompt) return p(owner, text, caption, type);
    return MessageBoxW(owner, text, caption, type);
}

void ReplacePrompt(PromptFunction prompt) {
    g_prompt = prompt;
}
