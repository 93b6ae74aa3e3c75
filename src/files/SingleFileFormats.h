#pragma once

// The container formats libavformat may read a chosen file as: each reads that one file and nothing
// else. Left out are the formats whose files are lists of other files or addresses (HLS and DASH
// playlists, ffconcat lists, image sequences, IMF compositions, SDP and RTSP descriptions...), raw data,
// capture devices and filter graphs: a "song" that is such a list would read the files beside it.
// Given to libavformat as `format_whitelist`, and to ffmpeg as -format_whitelist before every input.
// Plain C++, so that the command-line stand-ins can use it too.
inline constexpr const char* singleFileFormats
    = "mov,matroska,avi,flv,mpegts,mpeg,mpegvideo,asf,m4v,h264,hevc,av1,obu,ivf,ogg,rm,mxf,nut,dv,wtv,mjpeg,"
      "yuv4mpegpipe,vc1,dirac,gif,apng,"
      "wav,w64,mp3,flac,aac,ac3,eac3,dts,dtshd,truehd,mlp,aiff,caf,amr,amrnb,amrwb,au,ape,wv,tta,tak,mpc,mpc8,"
      "shn,voc,gsm,dsf,iff,xwma,wsaud,sox,rso,loas,spdif,aa,aax,oma,qcp,sln,libopenmpt,"
      "srt,ass,webvtt,"
      "png_pipe,jpeg_pipe,webp_pipe,bmp_pipe,tiff_pipe,gif_pipe,jpegls_pipe,jpegxl_pipe,j2k_pipe,qoi_pipe,"
      "psd_pipe,svg_pipe,pgm_pipe,ppm_pipe,pbm_pipe,pam_pipe,dpx_pipe,exr_pipe,ico";
