#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Round trip through a MIDI library none of us wrote.

Format-0 files are written with mido, converted by tunewright-cli, and the song
image is read back with mido: every event must stand at its source time divided
by the ticks factor (rounded down), with its bytes unchanged.

Usage: mido_round_trip.py TUNEWRIGHT_CLI WORK_DIR
"""
import io
import os
import random
import re
import subprocess
import sys

import mido

DIVISIONS = [48, 96, 100, 120, 192, 384, 480, 960, 1000, 15360]
# Delta-times at the edges of the variable-length form and of the rescaling.
EDGE_DELTAS = [0, 1, 2, 47, 48, 49, 95, 96, 127, 128, 129, 479, 480, 481, 16383, 16384, 0x1FFFFF]


def random_message(rng, time):
    channel = rng.randrange(16)
    kind = rng.randrange(11)
    if kind == 0:
        return mido.Message('note_on', channel=channel, note=rng.randrange(128), velocity=rng.randrange(128), time=time)
    if kind == 1:
        return mido.Message('note_off', channel=channel, note=rng.randrange(128), velocity=rng.randrange(128), time=time)
    if kind == 2:
        return mido.Message('control_change', channel=channel, control=rng.randrange(120), value=rng.randrange(128),
                            time=time)
    if kind == 3:
        return mido.Message('program_change', channel=channel, program=rng.randrange(128), time=time)
    if kind == 4:
        return mido.Message('aftertouch', channel=channel, value=rng.randrange(128), time=time)
    if kind == 5:
        return mido.Message('polytouch', channel=channel, note=rng.randrange(128), value=rng.randrange(128), time=time)
    if kind == 6:
        return mido.Message('pitchwheel', channel=channel, pitch=rng.randrange(-8192, 8192), time=time)
    if kind == 7:
        return mido.Message('sysex', data=[rng.randrange(128) for _ in range(rng.randrange(0, 40))], time=time)
    if kind == 8:
        text = ''.join(rng.choice('abcdefghij klmnop') for _ in range(rng.randrange(0, 100)))
        return mido.MetaMessage('text', text=text, time=time)
    if kind == 9:
        return mido.MetaMessage('set_tempo', tempo=rng.randrange(100000, 1000000), time=time)
    # Same status as before, so mido writes it in running status.
    return mido.Message('note_on', channel=0, note=rng.randrange(128), velocity=0, time=time)


def make_song(rng, division, count):
    song = mido.MidiFile(type=0, ticks_per_beat=division)
    track = mido.MidiTrack()
    song.tracks.append(track)
    track.append(mido.MetaMessage('track_name', name='Song', time=0))
    for _ in range(count):
        time = rng.choice(EDGE_DELTAS) if rng.random() < 0.2 else rng.randrange(0, 3 * division)
        track.append(random_message(rng, time))
    return song


def timed_events(song):
    """(absolute time, bytes) of every event of the single track, end of track included."""
    now = 0
    events = []
    for msg in song.tracks[0]:
        now += msg.time
        if msg.type == 'sysex':
            data = [0xF0] + list(msg.data) + [0xF7]
        else:
            data = list(msg.bytes())
        events.append((now, data))
    return events


def problems_in(source_bytes, image, content_length):
    """Everything wrong with a song image; empty when it is right."""
    found = []
    if len(image) != 16384:
        found.append('song image is %d bytes, not 16384' % len(image))
    if image[:22] != source_bytes[:22]:
        found.append('the 22 header bytes differ from the source')
    if any(b != 0xFF for b in image[content_length:16384]):
        found.append('bytes after the content are not all 0xFF')

    # The image keeps the source's track length; give mido the converted one.
    content = bytearray(image[:content_length])
    content[18:22] = (content_length - 22).to_bytes(4, 'big')
    try:
        converted = mido.MidiFile(file=io.BytesIO(bytes(content)))
    except Exception as error:  # any parse failure is a finding
        return found + ['mido cannot read the song image: %r' % error]

    source = mido.MidiFile(file=io.BytesIO(source_bytes))
    factor = source.ticks_per_beat // 48
    want = timed_events(source)
    got = timed_events(converted)
    if len(want) != len(got):
        found.append('%d events in the source, %d in the image' % (len(want), len(got)))
    for i, ((src_time, src_data), (img_time, img_data)) in enumerate(zip(want, got)):
        if img_time != src_time // factor:
            found.append('event %d at %d, expected %d // %d = %d' % (i, img_time, src_time, factor,
                                                                     src_time // factor))
        if img_data != src_data:
            found.append('event %d is %s, expected %s' % (i, bytes(img_data).hex(' '), bytes(src_data).hex(' ')))
    return found


def convert(cli, source_path, image_path):
    result = subprocess.run([cli, 'convert', source_path, '--song-image', image_path],
                            capture_output=True, text=True, check=False)
    lines = result.stdout.splitlines()
    if result.returncode != 0 or not lines or lines[-1] != 'Ready ':
        raise RuntimeError('%s: exit %d, output %r, errors %r' % (source_path, result.returncode, result.stdout,
                                                                   result.stderr))
    content_length = int(re.search(r'^Content: (\d+) of', result.stdout, re.M).group(1))
    with open(image_path, 'rb') as f:
        return f.read(), content_length


def main():
    cli, work = sys.argv[1], sys.argv[2]
    os.makedirs(work, exist_ok=True)
    rng = random.Random(20240611)
    passed = failed = 0

    cases = [(division, count) for division in DIVISIONS for count in (1, 40, 400)]
    for division, count in cases:
        name = 'div%d_events%d' % (division, count)
        source_path = os.path.join(work, name + '.mid')
        make_song(rng, division, count).save(source_path)
        with open(source_path, 'rb') as f:
            source_bytes = f.read()

        image, content_length = convert(cli, source_path, os.path.join(work, name + '.img'))
        found = problems_in(source_bytes, image, content_length)

        # The check itself must see a wrong image: move the first event one tick
        # later, and change a byte of the track name.
        late = bytearray(image)
        late[22] += 1
        renamed = bytearray(image)
        renamed[26] ^= 0x01
        for label, broken in (('moved event', late), ('changed byte', renamed)):
            if not problems_in(source_bytes, bytes(broken), content_length):
                found.append('the check missed a %s' % label)

        if found:
            failed += 1
            print('FAIL %s' % name)
            for problem in found[:20]:
                print('    ' + problem)
        else:
            passed += 1
            print('ok   %s (%d source bytes, %d content bytes)' % (name, len(source_bytes), content_length))

    print('%d passed, %d failed' % (passed, failed))
    return 1 if failed else 0


if __name__ == '__main__':
    sys.exit(main())
