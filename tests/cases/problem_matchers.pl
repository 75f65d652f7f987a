#!/usr/bin/env perl
# SPDX-License-Identifier: MIT
# Runs the console lines of golden runs through the problem matchers that
# editors and CI ship for GCC's messages, as they ship them: every failure
# line must be read as an error at its own file and line, the case in the
# message, whatever the colour; no other line (the note of a stopped case,
# a skip, a GitHub Actions command, the summary) may be read at all.
#
# Usage: problem_matchers.pl GOLDEN...
use strict;
use warnings;

my %matchers = (
    # ms-vscode.cpptools, Extension/package.json, problemMatchers "gcc"
    # (the $gcc a tasks.json names): groups of file, line, severity, message.
    'vscode $gcc' => [qr/^(.*?):(\d+):(\d*):?\s+(?:fatal\s+)?(warning|error):\s+(.*)$/, 0, 1, 3, 4],
    # Jenkins Warnings plugin, hudson.plugins.warnings.parser.Gcc4CompilerParser
    # GCC_WARNING_PATTERN (less its Ant task prefix); its ".*error" takes up
    # to the line's last "error", and any such word means an error.
    'Jenkins gcc4' => [qr/^(.+?):(\d+):(?:\d+:)? (warning|.*error): (.*)$/, 0, 1, 2, 3],
);
my ($read, $wrong, $stream) = (0, 0, '');
while (my $line = <>) {
    chomp $line;
    $stream = $1 if $line =~ /^-- (\w+)/;
    next unless $stream eq 'stderr';
    # The location and word as written, read by hand.
    my ($file, $number) = $line =~ /^([^ :]+\.cpp):(\d+): error: /;
    $read += defined $file;
    for my $name (sort keys %matchers) {
        my ($regex, @at) = @{$matchers{$name}};
        my @found = $line =~ $regex;
        next if defined $file ? @found && $found[$at[0]] eq $file && $found[$at[1]] == $number
                && $found[$at[2]] =~ /^error\b/ && $found[$at[3]] =~ / \| in "/ : !@found;
        print "$ARGV: $name reads \"$line\" wrongly\n";
        ++$wrong;
    }
}
die "no failure line\n" if $read == 0;
exit($wrong == 0 ? 0 : 1);
