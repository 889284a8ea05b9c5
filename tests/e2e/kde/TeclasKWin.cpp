// Presses keys on the KWin test desktop as its remote input does: through KWin's fake-input
// protocol, which KWin grants only to a program whose desktop file names the interface.
//   sonarel_teclas_kwin CHORD...   e.g. alt+meta+d, ctrl+shift+v, return
//   sonarel_teclas_kwin            chords from stdin, one a line, until it closes
// Each chord presses its keys in order and releases them in reverse.
#include "fake-input-client-protocol.h"

#include <linux/input-event-codes.h>
#include <wayland-client.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

org_kde_kwin_fake_input* entrada = nullptr;

void anunciado(void*, wl_registry* registro, uint32_t nombre, const char* interfaz,
               uint32_t version) {
    if (std::strcmp(interfaz, org_kde_kwin_fake_input_interface.name) == 0 && version >= 4) {
        entrada = static_cast<org_kde_kwin_fake_input*>(
            wl_registry_bind(registro, nombre, &org_kde_kwin_fake_input_interface, 4));
    }
}

void retirado(void*, wl_registry*, uint32_t) {}

const wl_registry_listener kOyente{anunciado, retirado};

const std::map<std::string, uint32_t> kTeclas{{"alt", KEY_LEFTALT},   {"meta", KEY_LEFTMETA},
                                              {"ctrl", KEY_LEFTCTRL}, {"shift", KEY_LEFTSHIFT},
                                              {"return", KEY_ENTER},  {"d", KEY_D},
                                              {"v", KEY_V},           {"s", KEY_S},
                                              {"insert", KEY_INSERT}, {"escape", KEY_ESC}};

// Presses and releases one chord; false for an unknown key name.
bool pulsar(wl_display* pantalla, const std::string& chord) {
    std::vector<uint32_t> acorde;
    std::string resto = chord;
    while (!resto.empty()) {
        const auto mas = resto.find('+');
        const std::string nombre = resto.substr(0, mas);
        const auto tecla = kTeclas.find(nombre);
        if (tecla == kTeclas.end()) {
            std::fprintf(stderr, "sonarel_teclas_kwin: unknown key %s\n", nombre.c_str());
            return false;
        }
        acorde.push_back(tecla->second);
        resto = mas == std::string::npos ? std::string() : resto.substr(mas + 1);
    }
    for (uint32_t tecla : acorde) {
        org_kde_kwin_fake_input_keyboard_key(entrada, tecla, WL_KEYBOARD_KEY_STATE_PRESSED);
    }
    for (auto it = acorde.rbegin(); it != acorde.rend(); ++it) {
        org_kde_kwin_fake_input_keyboard_key(entrada, *it, WL_KEYBOARD_KEY_STATE_RELEASED);
    }
    return wl_display_roundtrip(pantalla) != -1;
}

}  // namespace

int main(int argc, char** argv) {
    wl_display* pantalla = wl_display_connect(nullptr);
    if (!pantalla) {
        std::fprintf(stderr, "sonarel_teclas_kwin: no Wayland display\n");
        return 2;
    }
    wl_registry* registro = wl_display_get_registry(pantalla);
    wl_registry_add_listener(registro, &kOyente, nullptr);
    wl_display_roundtrip(pantalla);
    if (!entrada) {
        std::fprintf(stderr, "sonarel_teclas_kwin: KWin offers no fake input to this program\n");
        return 3;
    }
    org_kde_kwin_fake_input_authenticate(entrada, "Sonarel tests", "keys for the tests");
    for (int i = 1; i < argc; ++i) {
        if (!pulsar(pantalla, argv[i])) {
            return 2;
        }
    }
    if (argc == 1) {
        // Without chords it stays, as a keyboard stays plugged in: one chord a line from stdin,
        // each acknowledged with a line once KWin has it.
        char linea[256];
        while (std::fgets(linea, sizeof linea, stdin)) {
            std::string chord(linea);
            chord.erase(chord.find_last_not_of("\r\n") + 1);
            std::printf("%s\n", pulsar(pantalla, chord) ? "ok" : "error");
            std::fflush(stdout);
        }
    }
    // KWin drops a client's keys when it goes before they are handled: one more round trip.
    wl_display_roundtrip(pantalla);
    wl_display_disconnect(pantalla);
    return 0;
}
