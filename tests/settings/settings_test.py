"""pendral-settings driven through its accessibility tree (AT-SPI), as a screen
reader or a user's keyboard would: the file's values shown, a change in the file
within moments, the preview following the number of bodies, a failed save named in
the window, and Test showing the saver. With --switch (a Wayland desktop and a
systemd user manager that knows pendral-idle.service): the switch enables and
starts the service, and disables and stops it. With --sway (on a headless sway, as
its user): the values, a change in the file, the sentence in place of the switch,
and Test's saver drawing the bodies chosen.
   settings_test.py SETTINGS_BINARY CONFIG_HOME [--switch | --sway]
Run by Debian's /usr/bin/python3 (python3-pyatspi) on a session bus of its own."""
import os
import subprocess
import sys
import time

import pyatspi

binary, config_home = sys.argv[1], sys.argv[2]
switch_mode = '--switch' in sys.argv
sway = '--sway' in sys.argv
conf_dir = os.path.join(config_home, 'pendral')
conf = os.path.join(conf_dir, 'pendral.conf')
failures = []


def check(ok, what):
    if not ok:
        failures.append(what)
        print('FAIL:', what, file=sys.stderr)
    return ok


def wait_for(condition, limit=20.0):
    """Polls until condition() is true; the limit only bounds a failure."""
    end = time.monotonic() + limit
    while True:
        value = condition()
        if value or time.monotonic() > end:
            return value
        time.sleep(0.05)


def file_values():
    try:
        with open(conf) as f:
            lines = [l.split('#')[0].split('=', 1) for l in f]
        return {k.strip(): v.strip() for k, v in (l for l in lines if len(l) == 2)}
    except OSError:
        return {}


def find_all(node, role=None, name=None):
    found = []

    def walk(n):
        if n is None:
            return
        if (role is None or n.getRole() == role) and (name is None or n.name == name):
            found.append(n)
        for child in n:
            walk(child)
    walk(node)
    return found


def find(app, role, name):
    nodes = find_all(app, role, name)
    return nodes[0] if nodes else None


def value_of(node):
    return node.queryValue().currentValue


def set_value(node, value):
    node.queryValue().currentValue = value


def on_screen(node):
    """The node's rectangle on the display (GTK 4.8 tells it within its window)."""
    e = node.queryComponent().getExtents(pyatspi.WINDOW_COORDS)
    geometry = subprocess.run(['xdotool', 'search', '--name', '^Pendral Settings$', 'getwindowgeometry', '--shell'],
                              capture_output=True, text=True).stdout
    window = dict(l.split('=', 1) for l in geometry.split())
    return int(window['X']) + e.x, int(window['Y']) + e.y, e.width, e.height


def press(node):
    """A click in the middle of it (GTK 4.8 gives check boxes and switches no action);
    on sway, where xdotool has no display, a button's own action."""
    if sway:
        return node.queryAction().doAction(0)
    x, y, w, h = on_screen(node)
    subprocess.run(['xdotool', 'mousemove', str(x + w // 2), str(y + h // 2), 'click', '1'], check=True)


os.makedirs(conf_dir, exist_ok=True)
with open(conf, 'w') as f:
    f.write('# kept by the test\ncount = 7\nattraction = -40\nrefresh = 9\nidle = 600\nred = true\n')

env = dict(os.environ, XDG_CONFIG_HOME=config_home)
app_process = subprocess.Popen([binary], env=env)


def application():
    for a in pyatspi.Registry.getDesktop(0):
        if a is not None and a.name == 'pendral-settings' and find(a, pyatspi.ROLE_SLIDER, 'Number of the moving objects'):
            return a
    return None


app = wait_for(application, 60)
if not check(app is not None, 'pendral-settings did not show its controls on the accessibility bus'):
    app_process.kill()
    sys.exit(1)

attraction = find(app, pyatspi.ROLE_SLIDER, 'Magnitude of the Pendral')
count = find(app, pyatspi.ROLE_SLIDER, 'Number of the moving objects')
refresh = find(app, pyatspi.ROLE_SLIDER, 'Screen refresh interval (minutes)')
red = find(app, pyatspi.ROLE_CHECK_BOX, 'Red object')
blue = find(app, pyatspi.ROLE_CHECK_BOX, 'Blue object')
minutes = find(app, pyatspi.ROLE_SPIN_BUTTON, 'Show after minutes of idleness')
controls = [attraction, count, refresh, red, blue, minutes]
check(all(c is not None for c in controls), 'a control is missing or unnamed: %s' % controls)


def checked(node):
    return node.getState().contains(pyatspi.STATE_CHECKED)


def preview_green():
    """Green pixels of the preview, from a screenshot of the display."""
    x, y, w, h = on_screen(find(app, None, 'Preview'))
    raw = subprocess.run(['import', '-silent', '-window', 'root', '-crop', '%dx%d+%d+%d' % (w, h, x, y),
                          '-depth', '8', 'rgb:-'], capture_output=True, check=True).stdout
    return sum(1 for i in range(0, len(raw) - 2, 3) if raw[i + 1] > 100 and raw[i] < 90 and raw[i + 2] < 90)


def saver_bodies():
    """The lit blobs of a screenshot (8-connected, every second pixel), and whether one is red."""
    shot = ['grim', '-t', 'ppm', '-'] if sway else ['import', '-silent', '-window', 'root', '-depth', '8', 'ppm:-']
    ppm = subprocess.run(shot, capture_output=True, check=True).stdout
    w, h = (int(n) for n in ppm.split(maxsplit=3)[1:3])
    data = ppm[-w * h * 3:]
    lit = {(x, y) for y in range(0, h, 2) for x in range(0, w, 2) if max(data[(y * w + x) * 3:(y * w + x) * 3 + 3]) > 40}
    red = any(data[(y * w + x) * 3] > 2 * data[(y * w + x) * 3 + 1] + 40 for x, y in lit)
    blobs = 0
    while lit:
        blobs += 1
        todo = [lit.pop()]
        while todo:
            x, y = todo.pop()
            for n in ((x + dx, y + dy) for dx in (-2, 0, 2) for dy in (-2, 0, 2)):
                if n in lit:
                    lit.remove(n)
                    todo.append(n)
    return blobs, red


def save_failure_shown():
    labels = [l for l in find_all(app, pyatspi.ROLE_LABEL) if l.name.startswith('The settings could not be saved')]
    return any(l.getState().contains(pyatspi.STATE_VISIBLE) for l in labels)


if not failures and not switch_mode:
    # The file's values.
    check(value_of(attraction) == -40 and value_of(count) == 7 and value_of(refresh) == 9,
          'shown: attraction %s, count %s, refresh %s' % (value_of(attraction), value_of(count), value_of(refresh)))
    check(value_of(minutes) == 10, 'idle 600 s shows %s minutes' % value_of(minutes))
    check(checked(red) and not checked(blue), 'red and blue shown wrong')

if not failures and sway:
    # A change reaches the file; sway starts no graphical-session.target: a sentence, no switch.
    set_value(count, 5)
    set_value(minutes, 25)
    check(wait_for(lambda: file_values().get('count') == '5' and file_values().get('idle') == '1500'),
          'the file has %s' % file_values())
    advice = [l for l in find_all(app, pyatspi.ROLE_LABEL) if l.name.startswith('This desktop starts no user services')]
    check(advice and advice[0].getState().contains(pyatspi.STATE_VISIBLE), 'the sentence for sway is not shown')
    check(find(app, pyatspi.ROLE_CHECK_BOX, 'Show after minutes of idleness') is None, 'a switch is shown on sway')

if not failures and not switch_mode and not sway:
    # Changes reach the file (the scale's at once after its drag rests), the comment kept.
    set_value(count, 3)
    press(blue)
    set_value(minutes, 25)
    set_value(attraction, 30)
    press(red)
    want = {'count': '3', 'blue': 'true', 'idle': '1500', 'attraction': '30', 'red': 'false'}
    check(wait_for(lambda: all(file_values().get(k) == v for k, v in want.items())),
          'the file has %s, not %s' % (file_values(), want))
    check(open(conf).read().startswith('# kept by the test'), "the file's comment was lost")

    # The preview scatters afresh: three bodies, then a hundred, light far more of it.
    few = wait_for(lambda: (lambda g: g if 0 < g < 9000 else 0)(preview_green()))
    check(few > 0, 'the preview shows no few bodies')
    set_value(count, 100)
    many = wait_for(lambda: (lambda g: g if g > 5 * max(few, 1) else 0)(preview_green()))
    check(many > 0, 'the preview did not follow 100 bodies (%d green pixels with 3)' % few)

    # A save that fails is said in the window, and the next one that works clears it.
    os.rename(conf_dir, conf_dir + '.away')
    with open(conf_dir, 'w') as f:
        f.write('not a folder')
    set_value(refresh, 20)
    said = wait_for(lambda: save_failure_shown())
    check(said, 'a failed save was not shown')
    os.remove(conf_dir)
    os.rename(conf_dir + '.away', conf_dir)
    set_value(refresh, 21)
    check(wait_for(lambda: file_values().get('refresh') == '21'), 'the save after the failure did not reach the file')
    check(wait_for(lambda: not save_failure_shown()),
          'the failure stayed shown after a save that worked')

if not failures and not switch_mode:
    # Test: the saver full screen on this display, drawing the bodies the window chose
    # (five with the red one on sway, three plain ones here), ended by a key.
    def saver_windows():
        if sway:
            tree = subprocess.run(['swaymsg', '-t', 'get_tree'], capture_output=True, text=True).stdout
            return ['pendral'] if '"app_id": "pendral"' in tree else []
        out = subprocess.run(['xdotool', 'search', '--name', '^Pendral$'], capture_output=True, text=True).stdout
        return out.split()
    bodies = (5, True) if sway else (3, False)
    if not sway:
        set_value(count, 3)
    press(find(app, pyatspi.ROLE_PUSH_BUTTON, 'Test'))
    shown = wait_for(saver_windows)
    if check(shown, 'Test showed no saver window'):
        if not sway:
            geometry = subprocess.run(['xdotool', 'getwindowgeometry', shown[0]], capture_output=True, text=True).stdout
            check('1024x768' in geometry, 'the saver is not full screen: ' + geometry)
        # Bodies that touch for a moment show as one blob: the count is waited for.
        seen = []
        check(wait_for(lambda: seen.append(saver_bodies()) or seen[-1] == bodies, 60),
              'the saver drew %s (blobs, red), not %s' % (seen[-1:], bodies))
        subprocess.run(['wtype', '-s', '300', '-k', 'space'] if sway else ['xdotool', 'key', 'space'])
        check(wait_for(lambda: not saver_windows()), 'a key did not end the saver')

if not failures and switch_mode:
    set_value(minutes, 25)

    def user_systemctl(*args):
        return subprocess.run(['systemctl', '--user'] + list(args), capture_output=True, text=True).stdout.strip()
    # GTK 4.8 gives a switch the role of a check box.
    switch = find(app, pyatspi.ROLE_CHECK_BOX, 'Show after minutes of idleness')
    if check(switch is not None, 'no idle switch'):
        check(not checked(switch), 'the switch shows on before the service is enabled')
        press(switch)
        check(wait_for(lambda: user_systemctl('is-enabled', 'pendral-idle.service') == 'enabled'), 'switched on: not enabled')
        check(wait_for(lambda: user_systemctl('is-active', 'pendral-idle.service') == 'active'), 'switched on: not running')
        seen = os.path.join(os.environ['XDG_RUNTIME_DIR'], 'idle-seen')
        check(wait_for(lambda: os.path.exists(seen) and open(seen).read().split() == ['idle', '=', '1500']),
              'the service did not start with the file\'s idle time')
        check(wait_for(lambda: checked(switch)), 'the switch does not show on')
        press(switch)
        check(wait_for(lambda: user_systemctl('is-active', 'pendral-idle.service') != 'active'), 'switched off: still running')
        check(wait_for(lambda: user_systemctl('is-enabled', 'pendral-idle.service') == 'disabled'), 'switched off: not disabled')

app_process.terminate()
app_process.wait(timeout=60)
if failures:
    sys.exit(1)
print('pendral-settings: all passed' + (' (the idle switch)' if switch_mode else ' (sway)' if sway else ''))
