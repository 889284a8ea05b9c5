#!/usr/bin/python3
# The desktop portal's permission dialog on the Debian 13 test desktops, as assistive technology
# sees it over AT-SPI (run inside that system: scripts/trixie-run python3 THIS ...).
#   dialogo_del_portal.py ventanas APP          how many windows APP shows now
#   dialogo_del_portal.py responder APP BOTON CASILLA...
#       waits for a window of APP, ticks the check boxes (or switches) named CASILLA and presses
#       BOTON; names are compared without their mnemonic underscores
#   dialogo_del_portal.py arbol APP             prints the windows' widgets (to find the names)
import sys
import time

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi, GLib  # noqa: E402


def aplicacion(nombre):
    escritorio = Atspi.get_desktop(0)
    for i in range(escritorio.get_child_count()):
        try:
            app = escritorio.get_child_at_index(i)
            if app is not None and nombre in (app.get_name() or ""):
                return app
        except GLib.Error:
            pass  # an application that left the bus while the list was read
    return None


def ventanas(nombre):
    app = aplicacion(nombre)
    return app.get_child_count() if app is not None else 0


def recorrer(nodo, nivel=0):
    yield nivel, nodo
    for i in range(nodo.get_child_count()):
        hijo = nodo.get_child_at_index(i)
        if hijo is not None:
            yield from recorrer(hijo, nivel + 1)


def accionar(nodo):
    accion = nodo.get_action_iface()
    if accion is None or accion.get_n_actions() == 0:
        return False
    return accion.do_action(0)


def nombre_de(nodo):
    return (nodo.get_name() or "").replace("_", "")


def buscar(app, nombre, roles):
    """The innermost widget named `nombre` with one of `roles` (a row holds its switch)."""
    hallado = None
    for _, nodo in recorrer(app):
        if nombre_de(nodo) == nombre and nodo.get_role_name() in roles:
            hallado = nodo
    return hallado


def marcada(caja):
    return caja.get_state_set().contains(Atspi.StateType.CHECKED)


def responder(nombre, boton, casillas):
    limite = time.monotonic() + 60
    while time.monotonic() < limite:
        try:
            hecho = intentar_responder(nombre, boton, casillas)
        except GLib.Error as error:
            # Right after the desktop starts its accessibility registry may not answer yet, and the
            # dialog may go while it is read: tried again.
            print("dialogo_del_portal:", error.message, file=sys.stderr)
            hecho = None
        if hecho is not None:
            return hecho
        time.sleep(0.2)
    return 2


def intentar_responder(nombre, boton, casillas):
    """0 once answered, 3 or 4 when the dialog did not take it, None while it is not there."""
    app = aplicacion(nombre)
    cajas = [app and buscar(app, c, ("check box", "switch", "toggle button")) for c in casillas]
    pulsador = app and buscar(app, boton, ("push button", "button"))
    if not (pulsador and all(cajas)):
        return None
    for caja in cajas:
        if not marcada(caja):
            accionar(caja)
        limite_marcada = time.monotonic() + 10
        while not marcada(caja):
            if time.monotonic() > limite_marcada:
                return 3
            time.sleep(0.1)
    return 0 if accionar(pulsador) else 4


def main():
    orden, nombre = sys.argv[1], sys.argv[2]
    if orden == "ventanas":
        print(ventanas(nombre))
        return 0
    if orden == "arbol":
        app = aplicacion(nombre)
        for nivel, nodo in recorrer(app) if app else []:
            print("  " * nivel, nodo.get_role_name(), repr(nodo.get_name()))
        return 0
    return responder(nombre, sys.argv[3], sys.argv[4:])


sys.exit(main())
